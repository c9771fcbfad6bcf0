// The exported entry points of UNARJ32J.DLL: the command function, the
// archive search and the checks, over the shared library shell.
#include <cstring>
#include <memory>

#include "archivers/common/file_time.h"
#include "archivers/common/library_shell.h"
#include "archivers/common/member_info.h"
#include "arj_commands.h"
#include "platform/archiver_api.h"

namespace kt::unarj {
namespace {

kt::arc::LibraryShell gShell(100);  // version 1.00

std::string AttributeText(const ArjMember& m) {
    uint8_t a = m.dosAttr;
    if (m.mode) a = (m.mode & 0200) ? 0 : 0x01;
    std::string s = "-----";
    if (a & 0x01) s[0] = 'R';
    if (a & 0x02) s[1] = 'H';
    if (a & 0x04) s[2] = 'S';
    if (m.IsFolder()) s[3] = 'D';
    if (a & 0x20) s[4] = 'A';
    return s;
}

class ArjListing : public kt::arc::MemberListing {
public:
    std::size_t Count() const override { return file.Members().size(); }
    bool Matches(std::size_t i, const std::string& wildName) const override {
        ArjCommand all;
        if (!wildName.empty()) all.names.push_back(wildName);
        return Selected(all, file.Members()[i].name);
    }
    void Fill(std::size_t i, INDIVIDUALINFO& info) const override {
        const ArjMember& m = file.Members()[i];
        kt::arc::FillIndividualInfo({.name = m.name,
                                     .folder = m.IsFolder(),
                                     .originalSize = m.originalSize,
                                     .compressedSize = m.packedSize,
                                     .crc = m.crc,
                                     .osType = m.hostOs,
                                     .dosDateTime = kt::arc::UnixToDosDateTime(m.mtime),
                                     .attribute = AttributeText(m),
                                     .mode = "-m" + std::to_string(m.method)},
                                    info);
    }
    ArjFile file;
};

std::unique_ptr<ArjListing> OpenListing(const std::string& path) {
    auto listing = std::make_unique<ArjListing>();
    if (!listing->file.Open(path) || listing->file.ReadListing() != 0) return nullptr;
    return listing;
}

// A readable archive; with CHECKARCHIVE_FULLCRC every member must also
// decode to its stored CRC-32.
bool CheckArj(const std::string& path, int mode) {
    auto listing = OpenListing(path);
    if (!listing) return false;
    if (!(mode & CHECKARCHIVE_FULLCRC)) return true;
    struct Discard : kt::lzh::Sink {
        bool Write(const uint8_t*, std::size_t) override { return true; }
    } discard;
    for (const ArjMember& m : listing->file.Members()) {
        std::string why;
        if (!m.IsFolder() && m.type != ArjFileType::VolumeLabel &&
            DecodeArjMember(listing->file, m, discard, &why) != 0)
            return false;
    }
    return true;
}

}  // namespace
}  // namespace kt::unarj

using namespace kt::unarj;

KT_EXPORT int Unarj(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    return gShell.Command(output, outputSize, [&](kt::arc::Report& report) {
        ArjCommand cmd;
        std::string message;
        if (int e = ParseArjCommand(cmdLine ? cmdLine : "", &cmd, &message)) {
            report.Line(message);
            return e;
        }
        return RunArjCommand(cmd, report, gShell.Owner());
    });
}

KT_EXPORT HARC UnarjOpenArchive(HWND, LPCSTR arcFile, DWORD) {
    if (!arcFile) return nullptr;
    return gShell.Open(
        [&] { return std::unique_ptr<kt::arc::MemberListing>(OpenListing(arcFile)); });
}

KT_EXPORT BOOL UnarjCheckArchive(LPCSTR arcFile, int mode) {
    return kt::arc::LibraryShell::Query<BOOL>(arcFile, FALSE, [&](const std::string& path) {
        return CheckArj(path, mode) ? TRUE : FALSE;
    });
}

KT_EXPORT int UnarjGetFileCount(LPCSTR arcFile) {
    return kt::arc::LibraryShell::Query<int>(arcFile, -1, [&](const std::string& path) {
        auto listing = OpenListing(path);
        return listing ? static_cast<int>(listing->file.Members().size()) : -1;
    });
}

KT_SHELL_SEARCH_EXPORTS(Unarj, gShell)
KT_SHELL_OWNER_EXPORTS(Unarj, gShell)
