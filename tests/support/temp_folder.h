// A fresh folder under $TMPDIR for one test, removed with everything in it
// (also what a test left read-only).
#pragma once

#include <string>

namespace kt::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file (folders on the way are made) and returns its full path.
    std::string Write(const std::string& name, const std::string& content = "x") const;
    // Makes a folder (and those on the way) and returns its full path.
    std::string MakeFolder(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace kt::test
