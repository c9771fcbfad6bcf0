// The recording fake archiver library. Built once per entry prefix
// (FAKE_PREFIX) as a shared object; a test copies it under a real library
// name (UNLHA32.DLL, ...) into a temporary program folder.
//
// It compresses nothing. Every call is appended to "<own path>.log", one
// line per call: the entry name and its arguments, tab-separated, with
// "\\", tab, CR and LF escaped as \\ \t \r \n. A command line that refers
// to a response file ("@name" in double quotes) adds a line
// "response <name> <file content>" recorded at the time of the call.
//
// What it answers is read from "<own path>.cfg" at every call, lines of
// key=value:
//   result=N       command and ExtractMem result (default 0)
//   output=TEXT    report text written into the output buffer
//   check=N        CheckArchive result (default 1)
//   open=0|1       OpenArchive gives a handle (default 1)
//   find=N         FindFirst/FindNext result (default -1)
//   archivetype=N  GetArchiveType result (default 0)
//   owner=N        SetOwnerWindowEx result (default 1)
//   kill=N         KillOwnerWindowEx result (default 1)
//   progress=N     progress messages sent to the owner window per command
//                  (default 0); a non-zero reply stops the command, which
//                  then returns ERROR_USER_CANCEL
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "platform/archiver_api.h"
#include "platform/message_hub.h"

#define FAKE_CAT2(a, b) a##b
#define FAKE_CAT(a, b) FAKE_CAT2(a, b)
#define FAKE_STR2(a) #a
#define FAKE_STR(a) FAKE_STR2(a)
#define FAKE_ENTRY(suffix) FAKE_CAT(FAKE_PREFIX, suffix)
#define FAKE_NAME(suffix) FAKE_STR(FAKE_ENTRY(suffix))

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HWND g_owner = nullptr;
int g_nextHandle = 1;

std::string OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnPath), &info) == 0 || info.dli_fname == nullptr)
        return "fake-archiver";
    return info.dli_fname;
}

std::map<std::string, std::string> Config() {
    std::map<std::string, std::string> cfg;
    std::ifstream in(OwnPath() + ".cfg");
    std::string line;
    while (std::getline(in, line)) {
        std::size_t eq = line.find('=');
        if (eq != std::string::npos) cfg[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return cfg;
}

long ConfigInt(const char* key, long fallback) {
    auto cfg = Config();
    auto it = cfg.find(key);
    return it == cfg.end() ? fallback : std::strtol(it->second.c_str(), nullptr, 10);
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void Log(std::initializer_list<std::string> fields) {
    std::string line;
    bool first = true;
    for (const std::string& f : fields) {
        if (!first) line += '\t';
        line += Escape(f);
        first = false;
    }
    line += '\n';
    if (FILE* f = std::fopen((OwnPath() + ".log").c_str(), "ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

std::string Text(const char* s) { return s == nullptr ? std::string("(null)") : std::string(s); }

void LogResponseFiles(const char* cmdLine) {
    if (cmdLine == nullptr) return;
    std::string cmd(cmdLine);
    std::size_t pos = 0;
    while ((pos = cmd.find("\"@", pos)) != std::string::npos) {
        std::size_t end = cmd.find('"', pos + 2);
        if (end == std::string::npos) break;
        std::string name = cmd.substr(pos + 2, end - pos - 2);
        std::ifstream in(name, std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Log({"response", name, in ? content : std::string("(missing)")});
        pos = end + 1;
    }
}

void WriteOutput(LPSTR output, DWORD size) {
    if (output == nullptr || size == 0) return;
    auto cfg = Config();
    std::string text = cfg.count("output") ? cfg["output"] : std::string();
    std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(output, text.data(), n);
    output[n] = '\0';
}

// Sends the configured number of progress messages to the owner window;
// false when a reply asked to stop.
bool SendProgress() {
    long count = ConfigInt("progress", 0);
    if (g_owner == nullptr || count <= 0) return true;
    UINT msg = RegisterWindowMessage(WM_ARCEXTRACT_NAME);
    for (long i = 0; i < count; ++i) {
        EXTRACTINGINFOEX eis{};
        std::snprintf(eis.exinfo.szSourceFileName, sizeof eis.exinfo.szSourceFileName, "item%ld",
                      i);
        eis.exinfo.dwFileSize = static_cast<DWORD>(i);
        LRESULT reply =
            SendMessage(g_owner, msg, ARCEXTRACT_INPROCESS, reinterpret_cast<LPARAM>(&eis));
        Log({"progress", std::to_string(i), std::to_string(reply)});
        if (reply != 0) return false;
    }
    return true;
}

}  // namespace

FAKE_EXPORT int FAKE_PREFIX(HWND wnd, LPCSTR cmdLine, LPSTR output, DWORD size) {
    Log({FAKE_NAME(), Text(cmdLine), std::to_string(size), std::to_string(output != nullptr),
         std::to_string(HandleToNumber(wnd))});
    LogResponseFiles(cmdLine);
    if (!SendProgress()) return ERROR_USER_CANCEL;
    WriteOutput(output, size);
    return static_cast<int>(ConfigInt("result", 0));
}

FAKE_EXPORT HARC FAKE_ENTRY(OpenArchive)(HWND, LPCSTR arcFile, DWORD mode) {
    Log({FAKE_NAME(OpenArchive), Text(arcFile), std::to_string(mode)});
    if (ConfigInt("open", 1) == 0) return nullptr;
    return reinterpret_cast<HARC>(static_cast<uintptr_t>(g_nextHandle++));
}

FAKE_EXPORT int FAKE_ENTRY(CloseArchive)(HARC arc) {
    Log({FAKE_NAME(CloseArchive), std::to_string(reinterpret_cast<uintptr_t>(arc))});
    return 0;
}

#ifndef FAKE_OMIT_FINDFIRST
FAKE_EXPORT int FAKE_ENTRY(FindFirst)(HARC, LPCSTR wildName, INDIVIDUALINFO*) {
    Log({FAKE_NAME(FindFirst), Text(wildName)});
    return static_cast<int>(ConfigInt("find", -1));
}
#endif

FAKE_EXPORT int FAKE_ENTRY(FindNext)(HARC, INDIVIDUALINFO*) {
    Log({FAKE_NAME(FindNext)});
    return static_cast<int>(ConfigInt("find", -1));
}

FAKE_EXPORT BOOL FAKE_ENTRY(CheckArchive)(LPCSTR arcFile, int mode) {
    Log({FAKE_NAME(CheckArchive), Text(arcFile), std::to_string(mode)});
    return static_cast<BOOL>(ConfigInt("check", 1));
}

FAKE_EXPORT int FAKE_ENTRY(ExtractMem)(HWND, LPCSTR cmdLine, LPBYTE buffer, DWORD size, time_t*,
                                       LPWORD, LPDWORD written) {
    Log({FAKE_NAME(ExtractMem), Text(cmdLine), std::to_string(size)});
    auto cfg = Config();
    std::string text = cfg.count("output") ? cfg["output"] : std::string();
    DWORD n = static_cast<DWORD>(text.size() < size ? text.size() : size);
    if (buffer != nullptr) std::memcpy(buffer, text.data(), n);
    if (written != nullptr) *written = n;
    return static_cast<int>(ConfigInt("result", 0));
}

FAKE_EXPORT BOOL FAKE_ENTRY(SetOwnerWindowEx)(HWND wnd, LPARCHIVERPROC) {
    Log({FAKE_NAME(SetOwnerWindowEx), std::to_string(HandleToNumber(wnd))});
    BOOL ok = static_cast<BOOL>(ConfigInt("owner", 1));
    if (ok) g_owner = wnd;
    return ok;
}

FAKE_EXPORT BOOL FAKE_ENTRY(KillOwnerWindowEx)(HWND wnd) {
    Log({FAKE_NAME(KillOwnerWindowEx), std::to_string(HandleToNumber(wnd))});
    if (g_owner == wnd) g_owner = nullptr;
    return static_cast<BOOL>(ConfigInt("kill", 1));
}

FAKE_EXPORT WORD FAKE_ENTRY(GetVersion)(void) { return 100; }

FAKE_EXPORT BOOL FAKE_ENTRY(GetRunning)(void) { return FALSE; }

FAKE_EXPORT int FAKE_ENTRY(GetArchiveType)(LPCSTR arcFile) {
    Log({FAKE_NAME(GetArchiveType), Text(arcFile)});
    return static_cast<int>(ConfigInt("archivetype", 0));
}
