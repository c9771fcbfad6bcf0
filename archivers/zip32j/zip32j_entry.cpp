// Exported entry points of ZIP32J.DLL, the command front end: parses the
// command, collects the files and runs the job in the engine ZIP32.DLL,
// which it loads on first use the way every library is found.
#include <dlfcn.h>
#include <link.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "archivers/common/library_shell.h"
#include "archivers/zip32/zip32_engine.h"
#include "member_list.h"
#include "platform/cp932.h"
#include "platform/library_loader.h"
#include "platform/wildcard.h"
#include "zip_command.h"

namespace {

kt::arc::LibraryShell gShell(100);

// The engine, loaded once and kept for the life of the process.
ZIP32_EXECUTE_PROC Engine() {
    static std::mutex mutex;
    static ZIP32_EXECUTE_PROC proc = nullptr;
    std::lock_guard lock(mutex);
    if (!proc) {
        if (HMODULE lib = LoadLibrary("ZIP32.DLL"))
            proc = reinterpret_cast<ZIP32_EXECUTE_PROC>(GetProcAddress(lib, "Zip32Execute"));
    }
    return proc;
}

// The window progress goes to: the one registered here, else the one
// registered with UNZIP32.DLL when the host has that library loaded (the
// ZIP driver registers its window there only, for both libraries). The
// loaded library is found among the process's objects, without touching the
// file system.
int FindLoadedUnzip(dl_phdr_info* info, size_t, void* data) {
    std::string_view name = info->dlpi_name ? info->dlpi_name : "";
    size_t slash = name.rfind('/');
    if (name.substr(slash == std::string_view::npos ? 0 : slash + 1) != "UNZIP32.DLL") return 0;
    *static_cast<std::string*>(data) = std::string(name);
    return 1;
}

// The process's count of loaded and unloaded objects, read from its first
// object: while it stays, every object found before is still there.
struct LoadCount {
    unsigned long long adds = ~0ull, subs = ~0ull;
    bool operator==(const LoadCount&) const = default;
};

int ReadLoadCount(dl_phdr_info* info, size_t, void* data) {
    *static_cast<LoadCount*>(data) = {info->dlpi_adds, info->dlpi_subs};
    return 1;
}

using GetOwnerProc = HWND (*)();

// UNZIP32.DLL's UnZipGetOwnerWindow when the host has that library loaded.
GetOwnerProc FindUnzipOwnerEntry() {
    std::string path;
    dl_iterate_phdr(FindLoadedUnzip, &path);
    if (path.empty()) return nullptr;
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!lib) return nullptr;
    auto get = reinterpret_cast<GetOwnerProc>(dlsym(lib, "UnZipGetOwnerWindow"));
    dlclose(lib);
    return get;
}

HWND ProgressWindow() {
    if (HWND own = gShell.Owner().Window()) return own;
    // Looked for again only once an object was loaded or unloaded since:
    // opening and closing the library for every command cost more than a
    // small archive's own work outside the codec.
    static std::mutex mutex;
    static LoadCount seen;
    static GetOwnerProc get = nullptr;
    LoadCount now;
    dl_iterate_phdr(ReadLoadCount, &now);
    std::lock_guard lock(mutex);
    if (!(now == seen)) {
        get = FindUnzipOwnerEntry();
        seen = now;
    }
    return get ? get() : nullptr;
}

struct ProgressUser {
    kt::arc::OwnerWindow* owner;
    kt::arc::Report* report;
};

void OnReport(void* user, const char* line) {
    static_cast<ProgressUser*>(user)->report->Line(line);
}

int OnProgressUser(void* user, UINT state, EXTRACTINGINFOEX* info) {
    return static_cast<ProgressUser*>(user)->owner->Send(state, info) ? 1 : 0;
}

int RunZip(const char* cmdLine, kt::arc::Report& report) {
    using namespace kt::zip32j;
    ZipCommand cmd;
    std::string error;
    int code = 0;
    if (!ParseZipCommand(cmdLine ? cmdLine : "", cmd, error, code)) {
        report.Line("zip error: " + error);
        return code;
    }
    ZIP32_EXECUTE_PROC engine = Engine();
    if (!engine) {
        report.Line(
            "zip error: ZIP32.DLL was not found or cannot be loaded; it is needed to "
            "create and change ZIP archives.");
        return ERROR_NOT_SUPPORT;
    }
    std::vector<Member> members;
    std::vector<std::string> patterns;
    if (cmd.command == ZIP32_DELETE) {
        patterns = cmd.names;
        if (patterns.empty()) {
            report.Line("zip error: no names to delete");
            return ERROR_NOT_FILENAME;
        }
    } else if (cmd.command != ZIP32_ADJUST) {
        std::vector<std::string> missing;
        CollectMembers(cmd, members, missing);
        for (const std::string& name : missing) {
            if (!kt::HasWildcard(name)) {
                report.Line("zip error: file not found: " + name);
                return ERROR_NOT_FIND_FILE;
            }
            report.Line("zip warning: name not matched: " + name);
        }
        if (members.empty()) {
            report.Line("zip error: nothing to do");
            return cmd.names.empty() ? ERROR_NOT_FILENAME : ERROR_NOT_FIND_FILE;
        }
    }
    std::vector<ZIP32_MEMBER> memberRecords;
    memberRecords.reserve(members.size());
    for (const Member& m : members)
        memberRecords.push_back({m.path.c_str(), m.name.c_str(), &m.found});
    std::vector<const char*> patternPtrs;
    for (const std::string& p : patterns) patternPtrs.push_back(p.c_str());
    // The key is made from the password's CP932 bytes.
    std::string key = cmd.hasPassword ? kt::Utf8ToCp932(cmd.password) : std::string();

    ZIP32_JOB job{};
    job.structSize = sizeof job;
    job.command = cmd.command;
    job.archive = cmd.archive.c_str();
    job.members = memberRecords.data();
    job.memberCount = static_cast<DWORD>(memberRecords.size());
    job.patterns = patternPtrs.data();
    job.patternCount = static_cast<DWORD>(patternPtrs.size());
    job.level = cmd.level;
    job.password = key.c_str();
    job.flags =
        (cmd.noDirEntries ? ZIP32_NO_DIR_ENTRIES : 0) | (cmd.archiveTime ? ZIP32_ARCHIVE_TIME : 0) |
        (cmd.dosOnly ? ZIP32_DOS_ATTRIBUTES : 0) | (cmd.stripPrefix ? ZIP32_STRIP_PREFIX : 0) |
        (cmd.recover ? ZIP32_RECOVER : 0) | (cmd.verbose ? ZIP32_VERBOSE : 0) |
        (cmd.quiet ? ZIP32_QUIET : 0) | (static_cast<DWORD>(cmd.aesStrength) << ZIP32_AES_SHIFT);
    kt::arc::OwnerWindow target;
    HWND wnd = ProgressWindow();
    if (wnd) target.Set(wnd);
    ProgressUser user{&target, &report};
    job.progress = target.Active() ? OnProgressUser : nullptr;
    job.report = OnReport;
    job.user = &user;
    return engine(&job);
}

}  // namespace

KT_EXPORT int Zip(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    return gShell.Command(output, outputSize,
                          [&](kt::arc::Report& report) { return RunZip(cmdLine, report); });
}

KT_SHELL_OWNER_EXPORTS(Zip, gShell)
