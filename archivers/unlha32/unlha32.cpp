// The exported entry points of UNLHA32.DLL.
#include <cstring>
#include <memory>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/common/file_time.h"
#include "archivers/common/library_shell.h"
#include "archivers/common/member_info.h"
#include "archivers/common/safe_path.h"
#include "commands.h"
#include "lzh_archive.h"
#include "platform/archiver_api.h"
#include "platform/wildcard.h"

namespace kt::unlha {
namespace {

kt::arc::LibraryShell gShell(100);  // version 1.00

bool Matches(const std::string& pattern, const MemberHeader& m) {
    if (pattern.empty() || pattern == "*" || pattern == "*.*") return true;
    if (kt::WildcardMatch(pattern, m.name)) return true;
    std::size_t slash = m.name.rfind('/');
    return pattern.find('/') == std::string::npos && slash != std::string::npos &&
           kt::WildcardMatch(pattern, m.name.substr(slash + 1));
}

void Fill(const MemberHeader& m, INDIVIDUALINFO* info) {
    kt::arc::FillIndividualInfo({.name = m.name,
                                 .folder = m.IsDirectory(),
                                 .originalSize = m.originalSize,
                                 .compressedSize = m.packedSize,
                                 .crc = m.crc,
                                 .osType = static_cast<unsigned char>(m.osId),
                                 .dosDateTime = kt::arc::UnixToDosDateTime(m.mtime),
                                 .attribute = AttributeText(m),
                                 .mode = m.method},
                                *info);
}

// The members of an archive opened for searching; its file stays open.
class LzhListing : public kt::arc::MemberListing {
public:
    std::size_t Count() const override { return listing.members.size(); }
    bool Matches(std::size_t i, const std::string& wildName) const override {
        return unlha::Matches(wildName, listing.members[i]);
    }
    void Fill(std::size_t i, INDIVIDUALINFO& info) const override {
        unlha::Fill(listing.members[i], &info);
    }
    bool Sizes(std::size_t i, uint64_t* original, uint64_t* compressed) const override {
        *original = listing.members[i].originalSize;
        *compressed = listing.members[i].packedSize;
        return true;
    }

    FileReader file;
    Listing listing;
};

int Run(LPCSTR cmdLine, bool commandless, LPSTR output, DWORD outputSize,
        int (*body)(RunContext&, void*), void* extra) {
    return gShell.Command(output, outputSize, [&](kt::arc::Report& report) {
        LhaCommand cmd;
        std::string message;
        int result = ParseLhaCommand(cmdLine ? cmdLine : "", commandless, &cmd, &message);
        if (result) {
            report.Line(message);
            return result;
        }
        RunContext ctx(cmd, report, gShell.Owner());
        return body(ctx, extra);
    });
}

int RunCommand(RunContext& ctx, void*) {
    switch (ctx.cmd.command) {
        case 'a':
        case 'u':
        case 'f':
        case 'd':
            return RunPack(ctx);
        case 'x':
        case 'e':
        case 't':
            return RunExtract(ctx);
        case 'l':
        case 'v':
            return RunList(ctx);
        case 's':
            ctx.report.Line("self-extracting archives are not made on this system");
            return ERROR_NOT_SUPPORT;
        default:
            ctx.report.Line("unknown command");
            return ERROR_COMMAND_NAME;
    }
}

struct MemArgs {
    LPBYTE buffer;
    DWORD size;
    time_t* time;
    LPWORD attr;
    LPDWORD written;
};

int RunMem(RunContext& ctx, void* p) {
    auto* a = static_cast<MemArgs*>(p);
    return RunExtractToMemory(ctx, a->buffer, a->size, a->time, a->attr, a->written);
}

// A readable archive with at least one member; with CHECKARCHIVE_FULLCRC
// every member must also decode to its stored CRC.
bool CheckLzh(const std::string& path, int mode) {
    FileReader file;
    Listing listing;
    if (!file.Open(path) || ReadListing(file, &listing) != 0 || listing.members.empty())
        return false;
    if (!(mode & CHECKARCHIVE_FULLCRC)) return true;
    if (!listing.endMark) return false;
    for (const MemberHeader& m : listing.members) {
        auto method = kt::lzh::FindMethod(m.method);
        if (!method) return false;
        struct NullSink : kt::lzh::Sink {
            bool Write(const uint8_t*, std::size_t) override { return true; }
        } sink;
        auto r = kt::lzh::DecodeMember(*method, OpenMember(file, m), sink, m.originalSize, m.crc);
        if (r.status != kt::lzh::Status::Ok || r.crc != m.crc) return false;
        // Sound data under a name extraction would refuse is no sound member.
        if (!kt::arc::SafeRelativePath(m.name)) return false;
    }
    return true;
}

}  // namespace
}  // namespace kt::unlha

using namespace kt::unlha;

KT_EXPORT int Unlha(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    return Run(cmdLine, false, output, outputSize, RunCommand, nullptr);
}

KT_EXPORT int UnlhaExtractMem(HWND, LPCSTR cmdLine, LPBYTE buffer, DWORD bufferSize, time_t* time,
                              LPWORD attr, LPDWORD written) {
    MemArgs args{buffer, bufferSize, time, attr, written};
    return Run(cmdLine, true, nullptr, 0, RunMem, &args);
}

KT_EXPORT HARC UnlhaOpenArchive(HWND, LPCSTR arcFile, DWORD) {
    return gShell.Open([&]() -> std::unique_ptr<LzhListing> {
        auto h = std::make_unique<LzhListing>();
        if (!arcFile || !h->file.Open(arcFile) || ReadListing(h->file, &h->listing) != 0)
            return nullptr;
        return h;
    });
}

KT_SHELL_SEARCH_EXPORTS(Unlha, gShell)

KT_EXPORT BOOL UnlhaCheckArchive(LPCSTR arcFile, int mode) {
    return kt::arc::LibraryShell::Query<BOOL>(arcFile, FALSE, [&](const std::string& path) {
        return CheckLzh(path, mode) ? TRUE : FALSE;
    });
}

KT_EXPORT int UnlhaGetFileCount(LPCSTR arcFile) {
    return kt::arc::LibraryShell::Query<int>(arcFile, -1, [](const std::string& path) {
        FileReader file;
        Listing listing;
        if (!file.Open(path) || ReadListing(file, &listing) != 0) return -1;
        return static_cast<int>(listing.members.size());
    });
}

KT_SHELL_OWNER_EXPORTS(Unlha, gShell)
