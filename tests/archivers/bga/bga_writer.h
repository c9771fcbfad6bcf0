// GZA and BZA archives laid out as the public notes describe them (28-byte
// header, folder and file names, data packed per member), for the tests.
// The fields those notes leave open are filled the way they are believed
// to be (checksum: the byte sum from offset 4 on; MS-DOS date and time);
// the reader does not rely on them.
#pragma once

#include <bzlib.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kt::test {

enum class Framing { RawDeflate, GzipWrapped, Bzip2, Stored };

struct BgaMember {
    std::string folder;  // CP932, "\" between parts, may end with "\"
    std::string name;
    std::string data;
    Framing framing;
    uint8_t attributes = 0x20;
};

inline std::string PackBgaData(const std::string& data, Framing framing) {
    if (framing == Framing::Stored) return data;
    std::string out(data.size() + 1024, '\0');
    if (framing == Framing::Bzip2) {
        unsigned n = static_cast<unsigned>(out.size());
        BZ2_bzBuffToBuffCompress(out.data(), &n, const_cast<char*>(data.data()),
                                 static_cast<unsigned>(data.size()), 9, 0, 0);
        out.resize(n);
        return out;
    }
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, framing == Framing::GzipWrapped ? 16 + 15 : -15, 8,
                 Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline void PutLe(std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string MakeBga(bool bza, const std::vector<BgaMember>& members) {
    std::string out;
    for (const BgaMember& m : members) {
        std::string packed = PackBgaData(m.data, m.framing);
        std::string h;
        h += bza ? std::string("BZ2\0", 4) : std::string("GZIP");
        PutLe(h, packed.size(), 4);
        PutLe(h, m.data.size(), 4);
        PutLe(h, 0x5A21, 2);  // 2025-01-01
        PutLe(h, 0x6000, 2);  // 12:00
        h += static_cast<char>(m.attributes);
        h += '\0';
        PutLe(h, m.framing == Framing::Stored ? 0 : 1, 2);
        PutLe(h, m.folder.size(), 2);
        PutLe(h, m.name.size(), 2);
        std::string body = h + m.folder + m.name;
        uint32_t sum = 0;
        for (unsigned char c : body) sum += c;
        PutLe(out, sum, 4);
        out += body + packed;
    }
    return out;
}

}  // namespace kt::test
