#include "archivers/codecs/zip/zip_crypto.h"

#include <libdeflate.h>
#include <sys/random.h>

#include <array>

namespace kt::zip {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

inline uint32_t CrcStep(uint32_t c, uint8_t b) { return kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8); }

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t n) { return libdeflate_crc32(crc, data, n); }

ZipCrypto::ZipCrypto(std::string_view password) {
    for (char c : password) Update(static_cast<uint8_t>(c));
}

void ZipCrypto::Update(uint8_t b) {
    k0_ = CrcStep(k0_, b);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = CrcStep(k2_, static_cast<uint8_t>(k1_ >> 24));
}

void ZipCrypto::Encrypt(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t p = data[i];
        data[i] = p ^ StreamByte();
        Update(p);
    }
}

void ZipCrypto::Decrypt(uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t p = data[i] ^ StreamByte();
        data[i] = p;
        Update(p);
    }
}

bool ZipCrypto::MakeHeader(uint16_t check, uint8_t out[12]) {
    if (getrandom(out, 10, 0) != 10) return false;
    out[10] = static_cast<uint8_t>(check & 0xFF);
    out[11] = static_cast<uint8_t>(check >> 8);
    Encrypt(out, 12);
    return true;
}

bool ZipCrypto::CheckHeader(const uint8_t in[12], uint16_t check) {
    uint8_t plain[12];
    for (int i = 0; i < 12; ++i) plain[i] = in[i];
    Decrypt(plain, 12);
    return plain[11] == static_cast<uint8_t>(check >> 8);
}

}  // namespace kt::zip
