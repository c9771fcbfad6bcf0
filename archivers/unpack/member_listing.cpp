#include "member_listing.h"

#include <cstring>
#include <vector>

#include "archivers/common/file_time.h"
#include "archivers/common/member_info.h"
#include "platform/archiver_api.h"
#include "platform/wildcard.h"

namespace kt::unpack {

bool NameMatches(const std::string& pattern, const std::string& stored, bool wholePathOnly) {
    if (pattern.empty()) return true;
    // "./a/b", as tar stores what it was given as ".", is named "a/b".
    std::string name = stored;
    while (name.size() > 2 && name.compare(0, 2, "./") == 0) name.erase(0, 2);
    std::string p = pattern;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (kt::WildcardMatch(p, name)) return true;
    if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 && name[p.size()] == '/')
        return true;
    if (wholePathOnly || p.find('/') != std::string::npos) return false;
    std::size_t slash = name.rfind('/');
    return slash != std::string::npos && kt::WildcardMatch(p, name.substr(slash + 1));
}

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name,
                bool wholePathOnly) {
    if (patterns.empty()) return true;
    for (const std::string& p : patterns)
        if (NameMatches(p, name, wholePathOnly)) return true;
    return false;
}

int ReadContents(const ReadingFormats& formats, const std::string& path, ArchiveContents* contents,
                 std::string* error) {
    std::unique_ptr<MemberSource> reader = MakeReader(formats);
    if (int rc = reader->Open(path, error)) return rc;
    contents->filter = reader->Filter();
    contents->format = reader->Format();
    Member m;
    for (;;) {
        int rc = reader->Next(&m, error);
        if (rc == -1) return 0;
        if (rc != 0) return rc;
        contents->members.push_back(std::move(m));
    }
}

bool ContentsListing::Matches(std::size_t i, const std::string& wildName) const {
    return NameMatches(wildName, contents_.members[i].name, false);
}

void ContentsListing::Fill(std::size_t i, INDIVIDUALINFO& info) const {
    const Member& m = contents_.members[i];
    std::string attr = "----A";
    if (!(m.mode & 0200)) attr[0] = 'R';
    if (m.IsFolder()) attr[3] = 'D';
    // The formats read here compress members together (or not at all), so
    // a member has no packed size of its own: it shows its stored size.
    kt::arc::FillIndividualInfo({.name = m.name,
                                 .folder = m.IsFolder(),
                                 .originalSize = m.size,
                                 .compressedSize = m.size,
                                 .osType = 3,  // Unix
                                 .dosDateTime = kt::arc::UnixToDosDateTime(m.mtime),
                                 .attribute = attr,
                                 .mode = method_},
                                info);
}

bool CheckContents(const ReadingFormats& formats, const std::string& path, int mode) {
    std::unique_ptr<MemberSource> reader = MakeReader(formats);
    std::string error;
    if (reader->Open(path, &error) != 0) return false;
    Member m;
    std::vector<char> block(64 * 1024);
    bool any = false;
    for (;;) {
        int rc = reader->Next(&m, &error);
        if (rc == -1) return any && reader->CheckRest(&error) == 0;
        if (rc != 0) return false;
        any = true;
        if (!(mode & CHECKARCHIVE_FULLCRC) || m.kind != Member::Kind::File) continue;
        if (m.encrypted) return false;
        uint64_t produced = 0;
        for (long long n; (n = reader->Read(block.data(), block.size(), &error)) != 0;) {
            if (n < 0) return false;
            produced += static_cast<uint64_t>(n);
        }
        // A member shorter or longer than its header says is no sound member.
        if (m.sizeKnown && produced != m.size) return false;
    }
}

}  // namespace kt::unpack
