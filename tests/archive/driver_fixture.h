// Shared pieces of the format-driver tests: a program folder with recording
// fakes under real library names, a way to catch a raised message, and the
// option set the archive component is stored with (n = 1, x = 0).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archiver.h"
#include "fake_library.h"

namespace kt::test {

// Unloads the listed driver classes' libraries when made and again when
// gone, so that a test loads them afresh from its own program folder.
class UnloadedLibraries {
public:
    explicit UnloadedLibraries(std::vector<const TArchiverClass*> classes)
        : classes_(std::move(classes)) {
        FreeAll();
    }
    ~UnloadedLibraries() { FreeAll(); }
    UnloadedLibraries(const UnloadedLibraries&) = delete;
    UnloadedLibraries& operator=(const UnloadedLibraries&) = delete;

private:
    void FreeAll() const {
        for (const TArchiverClass* c : classes_) c->FreeDLL();
    }
    std::vector<const TArchiverClass*> classes_;
};

// Every listed driver class starts and ends each test with its library
// unloaded, so that it is loaded from this test's program folder.
class DriverTest : public ::testing::Test {
protected:
    explicit DriverTest(std::vector<const TArchiverClass*> classes)
        : unloaded_(std::move(classes)) {}

    // The last command line the fake installed as libraryName received
    // through `entry`; empty when none did.
    std::string LastLine(const std::string& libraryName, const std::string& entry) const {
        auto calls = fakes.CallsOf(libraryName, entry);
        return calls.empty() ? std::string() : calls.back().arg(0);
    }

    FakeProgramFolder fakes;
    std::string out;  // the Output buffer: empty, so the library gets none

private:
    UnloadedLibraries unloaded_;  // last: unloads before the fakes go
};

// The same over the real libraries of this build (found in build/bin), with
// a folder to work in and an Output buffer of `outSize` bytes.
class RealLibraryTest : public ::testing::Test {
protected:
    explicit RealLibraryTest(std::vector<const TArchiverClass*> classes, std::size_t outSize = 4096)
        : out(outSize, '\0'), unloaded_(std::move(classes)) {}

    TempFolder dir;
    std::string out;

private:
    UnloadedLibraries unloaded_;
};

// `name` of `arc` unpacked to memory by `driver` into a buffer of `room`
// bytes must be exactly `text`.
template <class Driver>
void ExpectUnpacksToMemory(Driver& driver, const std::string& arc, const std::string& name,
                           const std::string& text, std::size_t room) {
    std::string buffer(room, '\0');
    DWORD written = 0;
    ASSERT_EQ(driver.UnpackToMemory(nullptr, arc, TArchiverOptions(), name, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), written),
              0)
        << driver.CommandLine;
    EXPECT_EQ(buffer.substr(0, written), text);
}

// The option set of the application's archive component.
inline TArchiverOptions StoredOptions() {
    TArchiverOptions o;
    o.n = 1;
    o.x = 0;
    return o;
}

template <class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const EArchiver& e) {
        return e.what();
    }
    return "(nothing raised)";
}

}  // namespace kt::test
