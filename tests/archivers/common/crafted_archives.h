// Archives written byte by byte, for names and fields no honest writer
// produces: NUL inside names, ".." parts, control characters, raw non-UTF-8
// bytes. Every member is stored (-lh0- / method 0), so the data itself is
// always sound and only the header decides what a reader does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kt::test::craft {

inline uint16_t Crc16(std::string_view b, uint16_t c = 0) {
    for (unsigned char x : b) {
        c ^= x;
        for (int i = 0; i < 8; ++i) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
    }
    return c;
}

inline uint32_t Crc32(std::string_view b) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char x : b) {
        c ^= x;
        for (int i = 0; i < 8; ++i) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return ~c;
}

inline void Le(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A fixed MS-DOS date and time (2020-01-01 00:00).
inline constexpr uint32_t kDosTime = (40u << 25) | (1u << 21) | (1u << 16);

// One LZH extended header: its type and data.
struct LzhExt {
    uint8_t type;
    std::string data;
};

// Folder bytes with the 0xFF separator of header 0x02, one per part.
inline std::string LzhDir(const std::vector<std::string>& parts) {
    std::string d;
    for (const std::string& p : parts) d += p + '\xFF';
    return d;
}

// UTF-16LE of ASCII text (a NUL byte becomes the 0x0000 unit).
inline std::string Utf16(std::string_view ascii) {
    std::string u;
    for (char c : ascii) {
        u += c;
        u += '\0';
    }
    return u;
}

// Folder of header 0x45: UTF-16LE parts, each ended by 0xFFFF.
inline std::string LzhUtf16Dir(const std::vector<std::string>& asciiParts) {
    std::string d;
    for (const std::string& p : asciiParts) d += Utf16(p) + "\xFF\xFF";
    return d;
}

// A level-0 member: the whole path in the base header ("\" separators).
inline std::string Lzh0(std::string_view path, std::string_view data) {
    std::string h;
    h += '\0';  // size, set below
    h += '\0';  // checksum, set below
    h += "-lh0-";
    Le(h, data.size(), 4);
    Le(h, data.size(), 4);
    Le(h, kDosTime, 4);
    h += '\x20';
    h += '\0';  // level
    h += static_cast<char>(path.size());
    h.append(path);
    Le(h, Crc16(data), 2);
    h[0] = static_cast<char>(h.size() - 2);
    uint8_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(h[i]));
    h[1] = static_cast<char>(sum);
    return h + std::string(data);
}

inline std::string LzhExtChain(const std::vector<LzhExt>& ext) {
    // Each header is its type and data followed by the size of the next.
    std::string s;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        s += static_cast<char>(ext[i].type);
        s += ext[i].data;
        Le(s, i + 1 < ext.size() ? ext[i + 1].data.size() + 3 : 0, 2);
    }
    return s;
}

// A level-1 member: name in the base header, the rest in extended headers.
inline std::string Lzh1(std::string_view name, const std::vector<LzhExt>& ext,
                        std::string_view data) {
    std::string chain = LzhExtChain(ext);
    std::string h;
    h += '\0';
    h += '\0';
    h += "-lh0-";
    Le(h, data.size() + chain.size(), 4);  // skip size covers the extended headers
    Le(h, data.size(), 4);
    Le(h, kDosTime, 4);
    h += '\x20';
    h += '\x01';
    h += static_cast<char>(name.size());
    h.append(name);
    Le(h, Crc16(data), 2);
    h += 'U';
    Le(h, ext.empty() ? 0 : ext[0].data.size() + 3, 2);
    h[0] = static_cast<char>(h.size() - 2);
    uint8_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(h[i]));
    h[1] = static_cast<char>(sum);
    return h + chain + std::string(data);
}

// A level-2 member, with a header CRC (header 0x00) put first. osId 'U'
// marks a Unix producer, 'M' an MS-DOS one.
inline std::string Lzh2(std::vector<LzhExt> ext, std::string_view data, char osId = 'U') {
    ext.insert(ext.begin(), LzhExt{0x00, std::string(2, '\0')});
    std::string chain = LzhExtChain(ext);
    std::string h;
    Le(h, 0, 2);  // total size, set below
    h += "-lh0-";
    Le(h, data.size(), 4);
    Le(h, data.size(), 4);
    Le(h, 1577836800, 4);  // 2020-01-01 UTC
    h += '\x20';
    h += '\x02';
    Le(h, Crc16(data), 2);
    h += osId;
    Le(h, ext[0].data.size() + 3, 2);
    h += chain;
    if ((h.size() & 0xFF) == 0) h += '\0';
    h[0] = static_cast<char>(h.size() & 0xFF);
    h[1] = static_cast<char>(h.size() >> 8);
    uint16_t crc = Crc16(h);
    h[27] = static_cast<char>(crc & 0xFF);
    h[28] = static_cast<char>(crc >> 8);
    return h + std::string(data);
}

// Members followed by the end mark.
inline std::string LzhArchive(const std::vector<std::string>& members) {
    std::string a;
    for (const std::string& m : members) a += m;
    return a + '\0';
}

struct ZipMember {
    std::string rawName;
    std::string data;
    bool utf8Flag = false;
    std::string unicodePath{};    // a 0x7075 field when not empty
    uint8_t hostOs = 3;           // 3 Unix, 0 MS-DOS
    uint32_t unixMode = 0100644;  // 0120777 for a symbolic link (data: its target)
    uint32_t declaredSize = 0;    // the uncompressed size the headers claim; 0: the true one
};

// A ZIP archive of stored members.
inline std::string Zip(const std::vector<ZipMember>& members) {
    std::string body, central;
    for (const ZipMember& m : members) {
        std::string extra;
        if (!m.unicodePath.empty()) {
            std::string f;
            f += '\x01';
            Le(f, Crc32(m.rawName), 4);
            f += m.unicodePath;
            Le(extra, 0x7075, 2);
            Le(extra, f.size(), 2);
            extra += f;
        }
        uint16_t flags = m.utf8Flag ? 0x0800 : 0;
        uint32_t crc = Crc32(m.data);
        std::string local;
        Le(local, 0x04034b50, 4);
        Le(local, 20, 2);
        Le(local, flags, 2);
        Le(local, 0, 2);  // stored
        Le(local, 0, 2);
        Le(local, 0x5021, 2);  // 2020-01-01
        Le(local, crc, 4);
        Le(local, m.data.size(), 4);
        Le(local, m.declaredSize ? m.declaredSize : m.data.size(), 4);
        Le(local, m.rawName.size(), 2);
        Le(local, extra.size(), 2);
        std::string c;
        Le(c, 0x02014b50, 4);
        Le(c, static_cast<uint32_t>(m.hostOs) << 8 | 20, 2);
        Le(c, 20, 2);
        Le(c, flags, 2);
        Le(c, 0, 2);
        Le(c, 0, 2);
        Le(c, 0x5021, 2);
        Le(c, crc, 4);
        Le(c, m.data.size(), 4);
        Le(c, m.declaredSize ? m.declaredSize : m.data.size(), 4);
        Le(c, m.rawName.size(), 2);
        Le(c, extra.size(), 2);
        Le(c, 0, 2);  // comment
        Le(c, 0, 2);  // disk
        Le(c, 0, 2);  // internal attributes
        Le(c, m.hostOs == 3 ? m.unixMode << 16 : 0x20, 4);
        Le(c, body.size(), 4);
        central += c + m.rawName + extra;
        body += local + m.rawName + extra + m.data;
    }
    std::string end;
    Le(end, 0x06054b50, 4);
    Le(end, 0, 4);
    Le(end, members.size(), 2);
    Le(end, members.size(), 2);
    Le(end, central.size(), 4);
    Le(end, body.size(), 4);
    Le(end, 0, 2);
    return body + central + end;
}

}  // namespace kt::test::craft
