#include "archive/nul_items.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "archive/earchiver.h"
#include "platform/fault_injection.h"

namespace kt {

namespace {

// The files of the command lines built on this thread and not yet run; a
// command built but never run (an error in between) leaves none behind
// once its thread ends.
struct TPendingFiles {
    std::vector<std::string> Paths;
    ~TPendingFiles() {
        for (const std::string& path : Paths) ::unlink(path.c_str());
    }
};

std::vector<std::string>& Pending() {
    thread_local TPendingFiles files;
    return files.Paths;
}

std::string Text(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += item;
        text += '\0';
    }
    return text;
}

// Writes all of text to fd and closes it; false (errno set) on any failure.
bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = fault::Write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            close(fd);
            errno = err;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0;
}

[[noreturn]] void Fail(const std::string& path) {
    throw EFCreateError("Cannot write file \"" + path + "\". " + std::strerror(errno));
}

}  // namespace

bool NeedsNulItems(const std::string& item) {
    return item.find_first_of("\"\r\n") != std::string::npos;
}

std::string NulItemsSwitch(const std::vector<std::string>& items) {
    // The switch itself must be quotable: a temporary folder whose path is
    // not is passed over for /tmp.
    const char* tmp = std::getenv("TMPDIR");
    const bool usable = tmp != nullptr && *tmp == '/' && !NeedsNulItems(tmp);
    std::string path = std::string(usable ? tmp : "/tmp") + "/kt-items0-XXXXXX";
    int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) Fail(path);
    Pending().push_back(path);
    if (!WriteAll(fd, Text(items))) Fail(path);
    return "--items0=" + path;
}

void WriteNulItems(const std::string& path, const std::vector<std::string>& items) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail(path);
    if (!WriteAll(fd, Text(items))) Fail(path);
}

void RemoveNulItemsFiles() {
    for (const std::string& path : Pending()) ::unlink(path.c_str());
    Pending().clear();
}

}  // namespace kt
