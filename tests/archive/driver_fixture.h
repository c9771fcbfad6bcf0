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

// Every listed driver class starts and ends each test with its library
// unloaded, so that it is loaded from this test's program folder.
class DriverTest : public ::testing::Test {
protected:
    explicit DriverTest(std::vector<const TArchiverClass*> classes) : classes_(std::move(classes)) {
        FreeAll();
    }
    ~DriverTest() override { FreeAll(); }

    // The last command line the fake installed as libraryName received
    // through `entry`; empty when none did.
    std::string LastLine(const std::string& libraryName, const std::string& entry) const {
        auto calls = fakes.CallsOf(libraryName, entry);
        return calls.empty() ? std::string() : calls.back().arg(0);
    }

    FakeProgramFolder fakes;
    std::string out;  // the Output buffer: empty, so the library gets none

private:
    void FreeAll() {
        for (const TArchiverClass* c : classes_) c->FreeDLL();
    }
    std::vector<const TArchiverClass*> classes_;
};

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
