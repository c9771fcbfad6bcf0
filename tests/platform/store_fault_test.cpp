// The INI profile and the registry store under a failing disk: the N-th
// write, fsync or rename fails (ENOSPC or EIO) for N = 1, 2, ... until the
// change goes through. A failed change leaves the file byte-identical and no
// temporary file beside it, and says so to its caller.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fault_child.h"
#include "platform/atomic_file.h"
#include "platform/ini_profile.h"
#include "platform/registry_store.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::string text;
    kt::ReadWholeFile(path, text);
    return text;
}

std::size_t Entries(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator{}));
}

// Runs change under every fault until it succeeds; returns the number of
// faulty runs, each checked against the file's bytes before.
int EveryFault(const std::string& file, const std::function<bool()>& change) {
    int runs = 0;
    const std::string before = ReadAll(file);
    const std::string folder = fs::path(file).parent_path().string();
    const std::size_t entries = Entries(folder);
    for (const char* kind : {"WRITE", "FSYNC", "RENAME"}) {
        for (const char* error : {"ENOSPC", "EIO"}) {
            for (int n = 1; n <= 10; ++n) {
                if (kt::test::SucceedsUnderFault(kind, n, error, change)) {
                    // The change went through: put the file back for the
                    // next kind of fault.
                    std::ofstream(file, std::ios::binary | std::ios::trunc) << before;
                    break;
                }
                ++runs;
                EXPECT_EQ(ReadAll(file), before) << kind << "=" << n << " " << error;
                EXPECT_EQ(Entries(folder), entries)
                    << kind << "=" << n << " " << error << ": a file was left";
            }
        }
    }
    return runs;
}

TEST(StoreFaults, AnIniChangeThatCannotBeWrittenLeavesTheFileAsItWas) {
    kt::test::TempFolder dir;
    const std::string ini = dir / "KalvoraTrindle.ini";
    std::ofstream(ini) << "[Bounds]\nLeft=10\nTop=20\n";
    int runs = EveryFault(ini, [&] {
        return WritePrivateProfileString("Bounds", "Left", "120", ini.c_str()) != FALSE;
    });
    EXPECT_GT(runs, 0);
    std::cout << "[faults] INI profile: " << runs << " faulty runs\n";
}

TEST(StoreFaults, ARegistryValueThatCannotBeStoredRaisesAndKeepsTheStore) {
    kt::test::TempFolder dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    {
        kt::TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\KalvoraTrindle", true));
        reg.WriteString("Folder", "/home/user");
    }
    const std::string file = kt::TRegistry::StoreFileName();
    int runs = EveryFault(file, [] {
        kt::TRegistry reg;
        reg.OpenKey("Software\\KalvoraTrindle", true);
        try {
            reg.WriteString("Folder", "/elsewhere");
        } catch (const kt::ERegistryException& e) {
            // The failure reaches the caller with the value's name.
            return std::string(e.what()).find("Folder") == std::string::npos;
        }
        return true;
    });
    EXPECT_GT(runs, 0);
    std::cout << "[faults] registry store: " << runs << " faulty runs\n";
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
