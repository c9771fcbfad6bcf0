// Traditional PKWARE encryption ("ZipCrypto"). The key is made from the
// password bytes exactly as given (callers pass the CP932 form). Every
// encrypted entry starts with a 12-byte header whose last byte lets a reader
// reject a wrong password before decoding anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kt::zip {

uint32_t Crc32(uint32_t crc, const void* data, size_t n);

class ZipCrypto {
public:
    explicit ZipCrypto(std::string_view password);
    void Encrypt(uint8_t* data, size_t n);
    void Decrypt(uint8_t* data, size_t n);

    // Builds the encrypted 12-byte header: ten random bytes, then the two
    // check bytes (`check` low byte first; readers compare the last byte).
    bool MakeHeader(uint16_t check, uint8_t out[12]);
    // Decrypts a header and tells whether its last byte matches `check` >> 8.
    bool CheckHeader(const uint8_t in[12], uint16_t check);

private:
    uint8_t StreamByte() const {
        // Unsigned 32-bit arithmetic: the 16-bit product overflows an int.
        uint32_t t = (k2_ | 2) & 0xFFFF;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    void Update(uint8_t b);
    uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

}  // namespace kt::zip
