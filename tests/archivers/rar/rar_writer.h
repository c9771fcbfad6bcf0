// A small generator of RAR archives for the tests, written from the format
// descriptions (RAR 2.9 "v4" blocks and RAR 5.0 headers): stored members,
// folders, and the marks of encryption and of methods the data does not
// follow, so that every case is built here rather than copied from another
// project's test files. It has no compressor, so it makes no solid
// archives (a solid stream needs compressed members).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kt::test {

struct RarMember {
    std::string name;
    std::string data;
    bool folder = false;
    bool encrypted = false;  // marked encrypted (the data is then meaningless)
    int method = 0;          // 0 store; others claim a compression the data does not follow
    uint32_t mtime = 1700000000;
    uint32_t mode = 0;  // the stored mode; 0: 0100644 (040755 for a folder)
};

namespace rar_detail {

inline uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}
inline void Le(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void Vint(std::string& s, uint64_t v) {
    do {
        uint8_t b = v & 0x7F;
        v >>= 7;
        s += static_cast<char>(v ? (b | 0x80) : b);
    } while (v);
}
inline uint32_t DosTime(uint32_t unix) {
    time_t t = unix;
    struct tm tm;
    localtime_r(&t, &tm);
    return static_cast<uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) |
                                 (tm.tm_mday << 16) | (tm.tm_hour << 11) | (tm.tm_min << 5) |
                                 (tm.tm_sec / 2));
}

// A v4 block: CRC16 (low half of the CRC-32 of what follows it), then
// type, flags, size and the rest.
inline std::string Block4(uint8_t type, uint16_t flags, const std::string& rest) {
    std::string body;
    body += static_cast<char>(type);
    Le(body, flags, 2);
    Le(body, 7 + rest.size(), 2);
    body += rest;
    std::string block;
    Le(block, Crc(body) & 0xFFFF, 2);
    return block + body;
}

// A v5 header: CRC-32 of size and body, size as vint, body.
inline std::string Header5(const std::string& body) {
    std::string sized;
    Vint(sized, body.size());
    sized += body;
    std::string h;
    Le(h, Crc(sized), 4);
    return h + sized;
}

}  // namespace rar_detail

// RAR 4 (v2.9 block format).
inline std::string MakeRar4(const std::vector<RarMember>& members) {
    using namespace rar_detail;
    std::string out("Rar!\x1a\x07\x00", 7);
    std::string mainRest;
    Le(mainRest, 0, 2);
    Le(mainRest, 0, 4);
    out += Block4(0x73, 0x0000, mainRest);
    for (const RarMember& m : members) {
        uint16_t flags = 0x8000;  // data follows the block
        if (m.folder) flags |= 0x00E0;
        if (m.encrypted) flags |= 0x0004;
        std::string rest;
        Le(rest, m.data.size(), 4);    // packed size
        Le(rest, m.data.size(), 4);    // unpacked size
        rest += static_cast<char>(3);  // host: Unix
        Le(rest, Crc(m.data), 4);
        Le(rest, DosTime(m.mtime), 4);
        rest += static_cast<char>(29);
        rest += static_cast<char>(0x30 + m.method);
        Le(rest, m.name.size(), 2);
        Le(rest, m.mode ? m.mode : m.folder ? 040755 : 0100644, 4);
        rest += m.name;
        if (m.encrypted) rest += std::string(8, '\x11');  // salt
        out += Block4(0x74, flags, rest) + m.data;
    }
    out += Block4(0x7B, 0x4000, "");
    return out;
}

// RAR 5.0.
inline std::string MakeRar5(const std::vector<RarMember>& members) {
    using namespace rar_detail;
    std::string out("Rar!\x1a\x07\x01\x00", 8);
    std::string main;
    Vint(main, 1);  // main archive header
    Vint(main, 0);  // no extra area, no data
    Vint(main, 0);
    out += Header5(main);
    for (const RarMember& m : members) {
        std::string extra;
        if (m.encrypted) {
            std::string record;
            Vint(record, 0x01);                 // file encryption
            Vint(record, 0);                    // AES-256
            Vint(record, 0);                    // no password check value
            record += static_cast<char>(15);    // KDF count
            record += std::string(16, '\x22');  // salt
            record += std::string(16, '\x33');  // IV
            Vint(extra, record.size());
            extra += record;
        }
        std::string body;
        Vint(body, 2);  // file header
        Vint(body, (extra.empty() ? 0 : 0x0001) | 0x0002);
        if (!extra.empty()) Vint(body, extra.size());
        Vint(body, m.data.size());
        Vint(body, (m.folder ? 0x0001 : 0) | 0x0002 | (m.folder ? 0 : 0x0004));
        Vint(body, m.data.size());
        Vint(body, m.mode ? m.mode : m.folder ? 040755 : 0100644);
        Le(body, m.mtime, 4);
        if (!m.folder) Le(body, Crc(m.data), 4);
        Vint(body, static_cast<uint64_t>(m.method) << 7);
        Vint(body, 1);  // host: Unix
        Vint(body, m.name.size());
        body += m.name;
        body += extra;
        out += Header5(body) + m.data;
    }
    std::string end;
    Vint(end, 5);
    Vint(end, 0);
    Vint(end, 0);
    out += Header5(end);
    return out;
}

// A volume set: `small` whole in the first volume, then `big` stored in
// `parts` pieces, one a volume, each piece's header marked as going on from
// the volume before and into the next; the last piece carries the CRC of
// the whole file, the others that of their piece. Each volume ends with an
// end header that says whether another follows. `oldNaming` (RAR 4 only)
// clears the main header's new-numbering flag (name.rar, name.r00, ...).
inline std::vector<std::string> MakeRarVolumes(int version, const RarMember& small,
                                               const RarMember& big, int parts,
                                               bool oldNaming = false) {
    using namespace rar_detail;
    std::vector<std::string> set;
    for (int i = 0; i < parts; ++i) {
        const std::size_t from = big.data.size() * i / parts,
                          to = big.data.size() * (i + 1) / parts;
        const std::string piece = big.data.substr(from, to - from);
        const uint32_t crc = i + 1 < parts ? Crc(piece) : Crc(big.data);
        const bool before = i > 0, after = i + 1 < parts;
        std::string out;
        if (version == 4) {
            out.assign("Rar!\x1a\x07\x00", 7);
            std::string mainRest;
            Le(mainRest, 0, 2);
            Le(mainRest, 0, 4);
            out +=
                Block4(0x73, 0x0001 | (oldNaming ? 0 : 0x0010) | (i == 0 ? 0x0100 : 0), mainRest);
            if (i == 0) {
                // The small member's block and data: a single archive less its
                // signature, main block (7 + 13 bytes) and end block (7).
                std::string single = MakeRar4({small});
                out += single.substr(20, single.size() - 20 - 7);
            }
            std::string rest;
            Le(rest, piece.size(), 4);
            Le(rest, big.data.size(), 4);
            rest += static_cast<char>(3);
            Le(rest, crc, 4);
            Le(rest, DosTime(big.mtime), 4);
            rest += static_cast<char>(29);
            rest += static_cast<char>(0x30);
            Le(rest, big.name.size(), 2);
            Le(rest, 0100644, 4);
            rest += big.name;
            out += Block4(0x74, 0x8000 | (before ? 0x01 : 0) | (after ? 0x02 : 0), rest) + piece;
            out += Block4(0x7B, 0x4000 | (after ? 0x0001 : 0), "");
        } else {
            out.assign("Rar!\x1a\x07\x01\x00", 8);
            std::string main;
            Vint(main, 1);
            Vint(main, 0);
            Vint(main, 0x0001 | (i > 0 ? 0x0002 : 0));  // a volume, numbered after the first
            if (i > 0) Vint(main, static_cast<uint64_t>(i));
            out += Header5(main);
            if (i == 0) {
                // Less the signature and main header (8 + 8 bytes) and the end
                // header (8) of a single archive.
                std::string single = MakeRar5({small});
                out += single.substr(16, single.size() - 16 - 8);
            }
            std::string body;
            Vint(body, 2);
            Vint(body, 0x0002 | (before ? 0x0008 : 0) | (after ? 0x0010 : 0));
            Vint(body, piece.size());
            Vint(body, 0x0002 | 0x0004);
            Vint(body, big.data.size());
            Vint(body, 0100644);
            Le(body, big.mtime, 4);
            Le(body, crc, 4);
            Vint(body, 0);
            Vint(body, 1);
            Vint(body, big.name.size());
            body += big.name;
            out += Header5(body) + piece;
            std::string end;
            Vint(end, 5);
            Vint(end, 0);
            Vint(end, after ? 0x0001 : 0);
            out += Header5(end);
        }
        set.push_back(out);
    }
    return set;
}

}  // namespace kt::test
