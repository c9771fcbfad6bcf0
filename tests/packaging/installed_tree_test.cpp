// The installed tree: `cmake --install` into a scratch DESTDIR must give one
// program folder that holds everything that runs, links in bin that lead
// there, and programs that, started through those links, find their own
// libraries and not the ones of the build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/kaltri_process.h"

namespace {

namespace fs = std::filesystem;
using kaltri_test::Q;
using kaltri_test::Read;
using kaltri_test::Sh;
using kaltri_test::Tree;

const std::vector<std::string> kProgramFolderFiles = {
    "KalvoraTrindle", "kaltri",      "libkthub.so", "KalvoraTrindle.html", "UNLHA32.DLL",
    "ZIP32J.DLL",     "ZIP32.DLL",   "UNZIP32.DLL", "CAB32.DLL",           "UNARJ32J.DLL",
    "tar32.dll",      "UNRAR32.DLL", "BGA32.DLL"};

// A clean environment: nothing from the build tree on PATH or the library
// path, so only what was installed can be found.
std::string Clean(const std::string& cmd) {
    return "env -u LD_LIBRARY_PATH PATH=/usr/bin:/bin " + cmd;
}

class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = new Tree;
        const auto installed = Sh("DESTDIR=" + Q(root->root) + " cmake --install " +
                                  Q(KT_BUILD_DIR) + " --prefix /usr");
        installLog = installed.out;
        installCode = installed.code;
    }
    static void TearDownTestSuite() {
        delete root;
        root = nullptr;
    }
    void SetUp() override { ASSERT_EQ(installCode, 0) << installLog; }

    static std::string Usr() { return root->root + "/usr"; }
    static std::string Folder() { return Usr() + "/lib/kalvoratrindle"; }

    static Tree* root;
    static std::string installLog;
    static int installCode;
};
Tree* InstalledTree::root = nullptr;
std::string InstalledTree::installLog;
int InstalledTree::installCode = -1;

TEST_F(InstalledTree, OneProgramFolderHoldsEverythingThatRuns) {
    for (const std::string& name : kProgramFolderFiles)
        EXPECT_TRUE(fs::is_regular_file(Folder() + "/" + name)) << name;
    // Nothing of the build's own (test programs, picture tools) comes along.
    for (const auto& entry : fs::directory_iterator(Folder())) {
        const std::string name = entry.path().filename();
        EXPECT_NE(std::find(kProgramFolderFiles.begin(), kProgramFolderFiles.end(), name),
                  kProgramFolderFiles.end())
            << "unexpected " << name;
    }
    for (const char* program : {"KalvoraTrindle", "kaltri"}) {
        const fs::path link = Usr() + "/bin/" + program;
        ASSERT_TRUE(fs::is_symlink(link)) << program;
        // Relative, so the tree is the same wherever it is unpacked.
        EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/kalvoratrindle") / program);
        EXPECT_TRUE(fs::equivalent(link, Folder() + "/" + program));
    }
    // The libraries are looked for beside each binary, never in the build.
    for (const char* binary : {"KalvoraTrindle", "kaltri", "ZIP32J.DLL", "UNLHA32.DLL"}) {
        const auto dynamic = Sh("readelf -d " + Q(Folder() + "/" + binary));
        ASSERT_EQ(dynamic.code, 0) << dynamic.out;
        EXPECT_NE(dynamic.out.find("[$ORIGIN]"), std::string::npos) << binary << dynamic.out;
        EXPECT_EQ(dynamic.out.find(KT_BUILD_DIR), std::string::npos) << binary << dynamic.out;
    }
}

// Every file the dynamic loader started, by full path, from its
// LD_DEBUG=files report.
std::vector<std::string> LoadedFiles(const std::string& report) {
    const std::string mark = "calling init: ";
    std::vector<std::string> files;
    for (std::size_t at = report.find(mark); at != std::string::npos;
         at = report.find(mark, at + 1)) {
        const std::size_t start = at + mark.size();
        const std::size_t end = report.find_first_of(" \t\n", start);
        files.push_back(report.substr(start, end - start));
    }
    return files;
}

bool Holds(const std::vector<std::string>& files, const std::string& path) {
    return std::find(files.begin(), files.end(), path) != files.end();
}

TEST_F(InstalledTree, InstalledKaltriPacksWithTheInstalledLibraries) {
    Tree work;
    const std::string source = work.Random("notes one.txt", 20000);
    const std::string debug = work.root + "/ld.txt";
    const auto packed = Sh("cd " + Q(work.root) + " && LD_DEBUG=files LD_DEBUG_OUTPUT=" + Q(debug) +
                           " " + Clean(Q(Usr() + "/bin/kaltri")) + " pack -y -f lzh " + Q(source));
    ASSERT_EQ(packed.code, 0) << packed.out;
    const auto lzh = Sh("cd " + Q(work.root) + " && lhasa -p " + Q(work.root + "/notes one.lzh"));
    ASSERT_EQ(lzh.code, 0) << lzh.out;
    EXPECT_NE(lzh.out.find(Read(source)), std::string::npos) << "lhasa did not give the file back";

    const auto zipped = Sh(Clean(Q(Usr() + "/bin/kaltri")) + " pack -y -f zip " + Q(source));
    ASSERT_EQ(zipped.code, 0) << zipped.out;
    const auto zip = Sh("unzip -p " + Q(work.root + "/notes one.zip"));
    ASSERT_EQ(zip.code, 0) << zip.out;
    EXPECT_EQ(zip.out, Read(source));

    // The report is one file per process: LD_DEBUG_OUTPUT plus the pid.
    std::string report;
    for (const auto& entry : fs::directory_iterator(work.root))
        if (entry.path().filename().string().rfind("ld.txt.", 0) == 0) report += Read(entry.path());
    const auto files = LoadedFiles(report);
    EXPECT_TRUE(Holds(files, Folder() + "/UNLHA32.DLL")) << report;
    EXPECT_TRUE(Holds(files, Folder() + "/libkthub.so")) << report;
    EXPECT_EQ(report.find(KT_BUILD_DIR), std::string::npos) << report;
}

TEST_F(InstalledTree, InstalledProgramStartsFromItsFolderAndEndsOnRequest) {
    Tree work;
    const std::string source = work.Make("a.txt", "text");
    const std::string debug = work.root + "/ld";
    // Offscreen, the window runs until asked to end; SIGTERM closes it the
    // normal way, which saves the settings beside the program when that
    // folder is writable, as this scratch tree is.
    const auto run = Sh("cd " + Q(work.root) + " && XDG_CONFIG_HOME=" + Q(work.root + "/config") +
                        " QT_QPA_PLATFORM=offscreen LD_DEBUG=files LD_DEBUG_OUTPUT=" + Q(debug) +
                        " " + Clean(Q(Usr() + "/bin/KalvoraTrindle")) + " " + Q(source) +
                        " & pid=$!; sleep 3; kill -TERM $pid; wait $pid");
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_TRUE(fs::is_regular_file(Folder() + "/KalvoraTrindle.ini"))
        << "the program did not take the installed folder as its own";
    EXPECT_FALSE(fs::exists(work.root + "/config/KalvoraTrindle"));
    fs::remove(Folder() + "/KalvoraTrindle.ini");

    std::string report;
    for (const auto& entry : fs::directory_iterator(work.root))
        if (entry.path().filename().string().rfind("ld.", 0) == 0) report += Read(entry.path());
    EXPECT_TRUE(Holds(LoadedFiles(report), Folder() + "/libkthub.so")) << report;
    EXPECT_EQ(report.find(KT_BUILD_DIR), std::string::npos) << report;
}

// The width and height stored in a PNG's header.
std::pair<int, int> PngSize(const std::string& path) {
    const std::string head = Read(path).substr(0, 24);
    if (head.size() < 24 || head.compare(1, 3, "PNG") != 0) return {0, 0};
    auto number = [&](std::size_t at) {
        return (static_cast<unsigned char>(head[at]) << 24) |
               (static_cast<unsigned char>(head[at + 1]) << 16) |
               (static_cast<unsigned char>(head[at + 2]) << 8) |
               static_cast<unsigned char>(head[at + 3]);
    };
    return {number(16), number(20)};
}

bool Installed(const char* tool) { return Sh(std::string("command -v ") + tool).code == 0; }

TEST_F(InstalledTree, DesktopEntryIconsAndMetainfoFitTogether) {
    const std::string id = "org.kalvoratrindle.KalvoraTrindle";
    const std::string entry = Usr() + "/share/applications/" + id + ".desktop";
    const std::string metainfo = Usr() + "/share/metainfo/" + id + ".metainfo.xml";
    const std::string text = Read(entry);
    // The entry starts the program through its link and hands it every file.
    EXPECT_NE(text.find("\nExec=KalvoraTrindle %F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=" + id + "\n"), std::string::npos) << text;
    EXPECT_TRUE(fs::exists(Usr() + "/bin/KalvoraTrindle"));
    EXPECT_NE(Read(metainfo).find(">" + id + ".desktop</launchable>"), std::string::npos);

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string png = Usr() + "/share/icons/hicolor/" + std::to_string(size) + "x" +
                                std::to_string(size) + "/apps/" + id + ".png";
        EXPECT_EQ(PngSize(png), std::make_pair(size, size)) << png;
    }
    const std::string svg = Read(Usr() + "/share/icons/hicolor/scalable/apps/" + id + ".svg");
    EXPECT_NE(svg.find("viewBox=\"0 0 32 32\""), std::string::npos) << svg;

    if (!Installed("desktop-file-validate") || !Installed("appstreamcli"))
        GTEST_SKIP() << "desktop-file-validate or appstreamcli is not installed";
    const auto desktop = Sh("desktop-file-validate " + Q(entry));
    EXPECT_EQ(desktop.code, 0) << desktop.out;
    EXPECT_EQ(desktop.out, "");
    const auto appstream = Sh("appstreamcli validate --no-net " + Q(metainfo));
    EXPECT_EQ(appstream.code, 0) << appstream.out;
}

}  // namespace
