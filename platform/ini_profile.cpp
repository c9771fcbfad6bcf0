#include "ini_profile.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "atomic_file.h"
#include "platform/ascii_case.h"
#include "platform/path_text.h"
#include "platform/temp_name.h"

namespace {

using kt::SameTextAscii;

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
    std::size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// The file as lines without their line ends, and the line end to write back.
struct Profile {
    std::vector<std::string> lines;
    std::string eol = "\n";

    void Parse(std::string_view text) {
        lines.clear();
        std::size_t nl = text.find('\n');
        eol = (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
        while (!text.empty()) {
            nl = text.find('\n');
            std::string_view line = text.substr(0, nl);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            lines.emplace_back(line);
            text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        }
    }

    std::string Render() const {
        std::string out;
        for (const std::string& line : lines) out.append(line).append(eol);
        return out;
    }

    // The line as a parser sees it: a byte-order mark at the very start is
    // not part of the first line.
    std::string_view Content(std::size_t i) const {
        std::string_view line = lines[i];
        if (i == 0 && line.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            line.remove_prefix(kUtf8Bom.size());
        return Trim(line);
    }

    std::optional<std::string_view> SectionName(std::size_t i) const {
        std::string_view line = Content(i);
        if (line.empty() || line.front() != '[') return std::nullopt;
        std::size_t close = line.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        return Trim(line.substr(1, close - 1));
    }

    // Key and raw value of a "key=value" line; comments are not keys.
    bool KeyLine(std::size_t i, std::string_view& name, std::string_view& value) const {
        std::string_view line = Content(i);
        if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[')
            return false;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return false;
        name = Trim(line.substr(0, eq));
        value = Trim(line.substr(eq + 1));
        return true;
    }

    // Index of the first section named `name`, or lines.size().
    std::size_t FindSection(std::string_view name) const {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            auto section = SectionName(i);
            if (section && SameTextAscii(*section, name)) return i;
        }
        return lines.size();
    }

    // One past the last line of the section that starts at `header`.
    std::size_t SectionEnd(std::size_t header) const {
        std::size_t i = header + 1;
        while (i < lines.size() && !SectionName(i)) ++i;
        return i;
    }

    std::size_t FindKey(std::size_t header, std::string_view key) const {
        std::size_t end = SectionEnd(header);
        std::string_view name, value;
        for (std::size_t i = header + 1; i < end; ++i)
            if (KeyLine(i, name, value) && SameTextAscii(name, key)) return i;
        return lines.size();
    }
};

// A stored value as the reader returns it: one pair of enclosing quotes off.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The text to store so that Unquote(Trim(text)) gives `value` back.
std::string Quote(std::string_view value) {
    bool needs = !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                                    kBlanks.find(value.back()) != std::string_view::npos ||
                                    Unquote(value).size() != value.size());
    if (!needs) return std::string(value);
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted.push_back('"');
    quoted.append(value);
    quoted.push_back('"');
    return quoted;
}

// Number of bytes of `text` that fit into `room` without cutting a UTF-8
// character in two.
std::size_t FittingLength(std::string_view text, std::size_t room) {
    if (text.size() <= room) return text.size();
    std::size_t n = room;
    // Step back over continuation bytes to the start of the cut character.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

DWORD CopyText(std::string_view text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    std::size_t n = FittingLength(text, size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// Copies zero-terminated names followed by a final zero byte; a list that
// does not fit is cut and reported as size - 2, as the profile API does.
DWORD CopyNameList(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t used = 0;
    for (std::string_view name : names) {
        if (used + name.size() + 1 > size - 1) {
            std::size_t room = size - 1 - used;
            if (room > 0) {
                std::size_t n = FittingLength(name, room - 1);
                std::memcpy(buffer + used, name.data(), n);
                std::memset(buffer + used + n, 0, room - n);
            }
            buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + used, name.data(), name.size());
        used += name.size();
        buffer[used++] = '\0';
    }
    buffer[used] = '\0';
    return static_cast<DWORD>(used);
}

bool HasLineBreak(LPCSTR text) { return text && std::strpbrk(text, "\r\n") != nullptr; }

bool LoadProfile(LPCSTR fileName, Profile& profile) {
    std::string text;
    if (!kt::ReadWholeFile(fileName, text)) {
        if (errno != ENOENT) return false;
        text.clear();
    }
    profile.Parse(text);
    return true;
}

}  // namespace

DWORD GetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size,
                              LPCSTR fileName) {
    Profile profile;
    std::string text;
    if (fileName && *fileName && kt::ReadWholeFile(fileName, text)) profile.Parse(text);

    if (section == nullptr) {
        std::vector<std::string_view> names;
        for (std::size_t i = 0; i < profile.lines.size(); ++i)
            if (auto name = profile.SectionName(i)) names.push_back(*name);
        return CopyNameList(names, buffer, size);
    }
    std::size_t header = profile.FindSection(section);
    if (key == nullptr) {
        std::vector<std::string_view> names;
        if (header < profile.lines.size()) {
            std::string_view name, value;
            for (std::size_t i = header + 1, end = profile.SectionEnd(header); i < end; ++i)
                if (profile.KeyLine(i, name, value)) names.push_back(name);
        }
        return CopyNameList(names, buffer, size);
    }
    if (header < profile.lines.size()) {
        std::size_t line = profile.FindKey(header, key);
        std::string_view name, value;
        if (line < profile.lines.size() && profile.KeyLine(line, name, value))
            return CopyText(Unquote(value), buffer, size);
    }
    std::string_view fallback = def ? def : "";
    std::size_t last = fallback.find_last_not_of(' ');
    fallback = last == std::string_view::npos ? std::string_view{} : fallback.substr(0, last + 1);
    return CopyText(fallback, buffer, size);
}

BOOL WritePrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (fileName == nullptr || *fileName == '\0') {
        errno = EINVAL;
        return FALSE;
    }
    if (section == nullptr) {
        // All three null is the profile API's "flush the cache": nothing is cached here.
        if (key == nullptr && value == nullptr) return TRUE;
        errno = EINVAL;
        return FALSE;
    }
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        std::strchr(section, ']') || (key && std::strchr(key, '='))) {
        errno = EINVAL;
        return FALSE;
    }

    Profile profile;
    if (!LoadProfile(fileName, profile)) return FALSE;
    const std::string before = profile.Render();
    std::size_t header = profile.FindSection(section);
    const bool hasSection = header < profile.lines.size();

    if (key == nullptr) {
        if (!hasSection) return TRUE;
        profile.lines.erase(
            profile.lines.begin() + static_cast<std::ptrdiff_t>(header),
            profile.lines.begin() + static_cast<std::ptrdiff_t>(profile.SectionEnd(header)));
    } else if (value == nullptr) {
        if (!hasSection) return TRUE;
        std::size_t line = profile.FindKey(header, key);
        if (line == profile.lines.size()) return TRUE;
        profile.lines.erase(profile.lines.begin() + static_cast<std::ptrdiff_t>(line));
    } else if (!hasSection) {
        if (!profile.lines.empty() && !Trim(profile.lines.back()).empty())
            profile.lines.emplace_back();
        profile.lines.push_back(std::string("[").append(section).append("]"));
        profile.lines.push_back(std::string(key) + "=" + Quote(value));
    } else {
        std::size_t line = profile.FindKey(header, key);
        if (line < profile.lines.size()) {
            std::string_view name, old;
            profile.KeyLine(line, name, old);
            profile.lines[line] = std::string(name) + "=" + Quote(value);
        } else {
            // After the section's last non-blank line, so blank lines that
            // separate it from the next section stay where they are.
            std::size_t at = profile.SectionEnd(header);
            while (at > header + 1 && Trim(profile.lines[at - 1]).empty()) --at;
            profile.lines.insert(profile.lines.begin() + static_cast<std::ptrdiff_t>(at),
                                 std::string(key) + "=" + Quote(value));
        }
    }

    std::string after = profile.Render();
    if (after == before && !before.empty()) {
        // Nothing to write, but a writer killed mid-write may have left its
        // temporary file; a write that changes the file clears it too.
        const std::string folder = kt::FolderOf(fileName);
        kt::RemoveStaleTempFiles(folder.empty() ? "." : folder, kt::NameOf(fileName));
        return TRUE;
    }
    return kt::WriteFileAtomically(fileName, after, 0600) ? TRUE : FALSE;
}
