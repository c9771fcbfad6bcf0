// The Debian package: cpack builds it from this build into a scratch folder,
// and packaging/check_deb.sh reads its file list and Depends with dpkg-deb.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/kaltri_process.h"

namespace {

namespace fs = std::filesystem;
using kaltri_test::Q;
using kaltri_test::Sh;
using kaltri_test::Tree;

TEST(DebianPackage, HoldsTheProgramFolderAndDependsOnWhatItLinks) {
    if (Sh("command -v dpkg-deb && command -v dpkg-shlibdeps").code != 0)
        GTEST_SKIP() << "dpkg-deb or dpkg-shlibdeps is not installed";
    Tree scratch;
    const auto built =
        Sh("cpack -G DEB --config " + Q(std::string(KT_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
           Q(scratch.root));
    ASSERT_EQ(built.code, 0) << built.out;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(scratch.root))
        if (entry.path().extension() == ".deb") deb = entry.path();
    ASSERT_FALSE(deb.empty()) << built.out;
    EXPECT_EQ(fs::path(deb).filename().string().rfind("kalvoratrindle_", 0), 0u) << deb;
    const auto checked =
        Sh("sh " + Q(std::string(KT_SOURCE_DIR) + "/packaging/check_deb.sh") + " " + Q(deb));
    EXPECT_EQ(checked.code, 0) << checked.out;
    // The check itself fails on a package that lacks what it looks for.
    const auto empty =
        Sh("cd " + Q(scratch.root) + " && mkdir -p empty/DEBIAN && printf '" +
           "Package: x\\nVersion: 1\\nArchitecture: all\\nMaintainer: x <x@x.org>\\n" +
           "Description: x\\n' > empty/DEBIAN/control && dpkg-deb -b empty empty.deb");
    ASSERT_EQ(empty.code, 0) << empty.out;
    const auto refused = Sh("sh " + Q(std::string(KT_SOURCE_DIR) + "/packaging/check_deb.sh") +
                            " " + Q(scratch.root + "/empty.deb"));
    EXPECT_NE(refused.code, 0) << refused.out;
    EXPECT_NE(refused.out.find("missing in the package: ./usr/lib/kalvoratrindle/UNLHA32.DLL"),
              std::string::npos)
        << refused.out;
}

}  // namespace
