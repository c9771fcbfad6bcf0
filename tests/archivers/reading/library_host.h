// A library of the common interface loaded from the build's bin folder as
// a host loads it (dlopen by file name, entries by prefix + suffix), with
// helpers for what the reading tests ask of it.
#pragma once

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/archiver_api.h"
#include "platform/message_hub.h"

namespace kt::test {

class LibraryHost {
public:
    LibraryHost(const std::string& file, const std::string& prefix) : prefix_(prefix) {
        lib_ = dlopen((std::string(KT_BIN_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    ~LibraryHost() {
        if (lib_) dlclose(lib_);
    }
    LibraryHost(const LibraryHost&) = delete;
    LibraryHost& operator=(const LibraryHost&) = delete;

    bool Loaded() const { return lib_ != nullptr; }

    template <class Proc>
    Proc Entry(const char* suffix) const {
        void* p = lib_ ? dlsym(lib_, (prefix_ + suffix).c_str()) : nullptr;
        EXPECT_NE(p, nullptr) << prefix_ << suffix;
        return reinterpret_cast<Proc>(p);
    }

    // The command function; the report lands in *report.
    int Command(const std::string& line, std::string* report = nullptr, HWND wnd = nullptr) const {
        char out[16384] = {};
        int rc = Entry<ARC_COMMAND_PROC>("")(wnd, line.c_str(), out, sizeof out);
        if (report) *report = out;
        return rc;
    }

    // Every member name FindFirst / FindNext give for the wildcard; `rc`
    // receives the code that ended the search (-1 when it ran to the end).
    std::vector<std::string> Names(const std::string& archive, const char* wild = "*",
                                   int* rc = nullptr) const {
        std::vector<std::string> names;
        HARC arc = Entry<ARC_OPEN_ARCHIVE_PROC>("OpenArchive")(nullptr, archive.c_str(), 0);
        if (!arc) {
            if (rc) *rc = -2;
            return names;
        }
        INDIVIDUALINFO info{};
        int r = Entry<ARC_FIND_FIRST_PROC>("FindFirst")(arc, wild, &info);
        for (; r == 0; r = Entry<ARC_FIND_NEXT_PROC>("FindNext")(arc, &info))
            names.push_back(info.szFileName);
        Entry<ARC_CLOSE_ARCHIVE_PROC>("CloseArchive")(arc);
        if (rc) *rc = r;
        return names;
    }

    BOOL Check(const std::string& archive, int mode) const {
        return Entry<ARC_CHECK_ARCHIVE_PROC>("CheckArchive")(archive.c_str(), mode);
    }

    int ExtractMem(const std::string& line, std::string* data, DWORD room) const {
        std::string buffer(room, '\0');
        DWORD written = 0;
        int rc = Entry<ARC_EXTRACT_MEM_PROC>("ExtractMem")(nullptr, line.c_str(),
                                                           reinterpret_cast<LPBYTE>(buffer.data()),
                                                           room, nullptr, nullptr, &written);
        *data = buffer.substr(0, written);
        return rc;
    }

private:
    void* lib_ = nullptr;
    std::string prefix_;
};

// A window of the message hub registered as the library's owner: it counts
// the progress states it receives and asks to stop at the Nth BEGIN.
class OwnerProbe {
public:
    OwnerProbe(const LibraryHost& host, int stopAtBegin = 0) : host_(host), stopAt_(stopAtBegin) {
        wnd = CreateMessageWindow(&OwnerProbe::Proc, this);
        registered = host_.Entry<ARC_SET_OWNER_WINDOW_EX_PROC>("SetOwnerWindowEx")(wnd, nullptr);
    }
    ~OwnerProbe() {
        host_.Entry<ARC_KILL_OWNER_WINDOW_EX_PROC>("KillOwnerWindowEx")(wnd);
        DestroyMessageWindow(wnd);
    }
    HWND wnd;
    BOOL registered;
    int begins = 0, ends = 0;
    std::vector<std::string> sources;

private:
    static LRESULT Proc(HWND, UINT msg, WPARAM state, LPARAM info, void* user) {
        auto* self = static_cast<OwnerProbe*>(user);
        if (msg != RegisterWindowMessage(WM_ARCEXTRACT_NAME)) return 0;
        if (state == ARCEXTRACT_END) ++self->ends;
        if (state != ARCEXTRACT_BEGIN) return 0;
        auto* ex = reinterpret_cast<EXTRACTINGINFOEX*>(info);
        self->sources.push_back(ex->exinfo.szSourceFileName);
        return ++self->begins == self->stopAt_ ? 1 : 0;
    }
    const LibraryHost& host_;
    int stopAt_;
};

// Every path below `root`, relative and sorted, folders with a trailing
// "/"; links are listed, not followed.
inline std::vector<std::string> TreeOf(const std::string& root) {
    std::vector<std::string> paths;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        std::string rel = std::filesystem::relative(it->path(), root).string();
        paths.push_back(it->is_directory() && !it->is_symlink() ? rel + "/" : rel);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace kt::test
