// kaltri pack --move-to-trash and --delete-source: a source goes only once
// its archive exists, tested clean and was flushed, and only when it is
// still the file that was packed; an interrupted run removes nothing whose
// test had not finished. Trashed files carry a .trashinfo a file manager
// can restore them from.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <thread>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

TEST(KaltriSourceRemoval, DeleteSourceRemovesEachSourceOnceItsArchiveIsSound) {
    for (const char* format : {"zip", "lzh"}) {
        Tree t;
        std::string a = t.Random("a.txt", 120000);
        std::string b = t.Make("sub/b.txt", "bee");
        std::string bytes = Read(a);
        Result r = Sh(kKaltri + " pack -f " + format + " --delete-source -j2 " + Q(a) + " " + Q(b));
        ASSERT_EQ(0, r.code) << r.out;
        EXPECT_FALSE(fs::exists(a));
        EXPECT_FALSE(fs::exists(b));
        EXPECT_NE(std::string::npos, r.out.find("deleted " + a)) << r.out;
        std::string x = t.root + "/x";
        ASSERT_EQ(0, Sh(kKaltri + " extract -o " + Q(x) + " " + Q(t.root + "/a." + format)).code);
        EXPECT_EQ(bytes, Read(x + "/a.txt"));
    }
}

TEST(KaltriSourceRemoval, MoveToTrashWritesARestorableTrashInfo) {
    Tree t;
    const std::string name = "a b%ü#.txt";
    std::string a = t.Make("src/" + name, "to the trash");
    std::string xdg = t.root + "/xdg";
    std::time_t start = std::time(nullptr);
    Result r =
        Sh("XDG_DATA_HOME=" + Q(xdg) + " " + kKaltri + " pack -f zip --move-to-trash " + Q(a));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ("to the trash", Read(xdg + "/Trash/files/" + name));
    std::string info = Read(xdg + "/Trash/info/" + name + ".trashinfo");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        info, m,
        std::regex(
            "\\[Trash "
            "Info\\]\nPath=(.*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n")))
        << info;
    EXPECT_EQ(t.root + "/src/a%20b%25%C3%BC%23.txt", m[1].str());
    struct tm when {};
    ASSERT_NE(nullptr, strptime(m[2].str().c_str(), "%Y-%m-%dT%H:%M:%S", &when));
    when.tm_isdst = -1;
    std::time_t stamped = mktime(&when);  // read back as local time
    EXPECT_LE(start - 1, stamped);
    EXPECT_GE(std::time(nullptr) + 1, stamped);

    // A second file of the same name gets its own entry; the first stays.
    t.Make("src/" + name, "second");
    r = Sh("XDG_DATA_HOME=" + Q(xdg) + " " + kKaltri +
           " pack -f zip --overwrite all --move-to-trash " + Q(a));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_EQ("to the trash", Read(xdg + "/Trash/files/" + name));
    int entries = 0;
    for (const auto& e : fs::directory_iterator(xdg + "/Trash/files")) {
        ++entries;
        std::string leaf = e.path().filename().string();
        EXPECT_TRUE(fs::exists(xdg + "/Trash/info/" + leaf + ".trashinfo")) << leaf;
    }
    EXPECT_EQ(2, entries);
}

TEST(KaltriSourceRemoval, AFileOnAnotherFileSystemGoesToThatVolumesTrash) {
    struct stat tmp {
    }, shm{};
    if (stat("/dev/shm", &shm) != 0 || stat("/tmp", &tmp) != 0 || tmp.st_dev == shm.st_dev ||
        access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no writable second file system at /dev/shm";
    Tree home;  // the home trash lies on /tmp's file system
    char tmpl[] = "/dev/shm/kt_trash_XXXXXX";
    std::string folder = mkdtemp(tmpl);
    std::string src = folder + "/s.txt";
    std::ofstream(src) << "volume";
    std::string trash = "/dev/shm/.Trash-" + std::to_string(getuid());
    bool trashExisted = fs::exists(trash);
    Result r = Sh("XDG_DATA_HOME=" + Q(home.root + "/xdg") + " " + kKaltri + " pack -f zip -o " +
                  Q(home.root) + " --move-to-trash " + Q(src));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_FALSE(fs::exists(src));
    std::string leaf = fs::path(folder).filename().string();
    EXPECT_EQ("volume", Read(trash + "/files/s.txt"));
    std::string info = Read(trash + "/info/s.txt.trashinfo");
    // Relative to the volume's top folder, as the freedesktop.org Trash standard asks.
    EXPECT_NE(std::string::npos, info.find("\nPath=" + leaf + "/s.txt\n")) << info;
    EXPECT_FALSE(fs::exists(home.root + "/xdg/Trash/files/s.txt"));
    fs::remove_all(folder);
    if (trashExisted) {
        fs::remove(trash + "/files/s.txt");
        fs::remove(trash + "/info/s.txt.trashinfo");
    } else {
        fs::remove_all(trash);
    }
}

TEST(KaltriSourceRemoval,
     NothingIsRemovedWhenTheTestFailsOrTheSourceChangedOrTheArchiveCannotBeFlushed) {
    for (const char* how : {"--delete-source", "--move-to-trash"}) {
        Tree t;
        std::string xdg = "XDG_DATA_HOME=" + Q(t.root + "/xdg") + " ";
        std::string a = t.Random("a.txt", 100000);
        std::string bytes = Read(a);
        t.Make("a.zip", "old archive");

        Result r = Sh(xdg + "KT_FAULT_DAMAGE=1 " + kKaltri + " pack -f zip --overwrite all -j1 " +
                      how + " " + Q(a));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_EQ(bytes, Read(a)) << how;
        EXPECT_EQ("old archive", Read(t.root + "/a.zip"));

        r = Sh(xdg + "KT_FAULT_CHANGE_SOURCE=1 " + kKaltri + " pack -f zip --overwrite all -j1 " +
               how + " " + Q(a));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_TRUE(fs::exists(a)) << how;
        EXPECT_EQ(bytes + "+", Read(a));
        EXPECT_NE(std::string::npos, r.out.find("changed while it was packed")) << r.out;
        std::ofstream(a, std::ios::binary) << bytes;

        r = Sh(xdg + "KT_FAULT_FSYNC=1 " + kKaltri + " pack -f zip --overwrite all -j1 " + how +
               " " + Q(a));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_EQ(bytes, Read(a)) << how;
        EXPECT_NE(std::string::npos, r.out.find("could not be flushed")) << r.out;
        EXPECT_FALSE(fs::exists(t.root + "/xdg/Trash/files/a.txt"));
    }
}

// Runs kaltri with its archive tests slowed down, interrupts it with SIGINT
// sent to kaltri alone while the first test waits, and returns its status.
int InterruptedRun(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("KT_FAULT_TEST_DELAY_MS", "3000", 1);
        std::vector<char*> argv{const_cast<char*>("kaltri")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kKaltri.c_str(), argv.data());
        _exit(99);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(KaltriSourceRemoval, AnInterruptBeforeTheTestFinishedRemovesNothing) {
    for (const char* jobs : {"1", "2"}) {
        Tree t;
        std::string a = t.Random("a.txt", 50000);
        std::string b = t.Random("b.txt", 50000);
        int code = InterruptedRun({"pack", "-f", "zip", "-j", jobs, "--delete-source", a, b});
        EXPECT_EQ(130, code) << jobs;
        EXPECT_TRUE(fs::exists(a)) << jobs;
        EXPECT_TRUE(fs::exists(b)) << jobs;
    }
}

}  // namespace
