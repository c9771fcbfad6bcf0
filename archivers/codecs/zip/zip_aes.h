// WinZip AES (method 99, AE-1 and AE-2): keys from PBKDF2-HMAC-SHA1 (1000
// rounds over the entry's salt), AES in counter mode with a little-endian
// counter starting at 1, and an HMAC-SHA1 over the encrypted bytes whose
// first 10 bytes follow the data. The cipher and the MAC are OpenSSL's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kt::zip {

inline constexpr uint16_t kExtraAes = 0x9901;
inline constexpr size_t kAesVerifierSize = 2;
inline constexpr size_t kAesMacSize = 10;

// The 0x9901 extra block.
struct AesInfo {
    int version = 0;   // 1 = AE-1 (CRC stored), 2 = AE-2 (CRC 0, the MAC alone checks)
    int strength = 0;  // 1, 2, 3 = AES-128, -192, -256
    uint16_t method = 0;
    size_t SaltSize() const { return 4 + 4 * static_cast<size_t>(strength); }
};

// Finds and checks the AES block in an entry's kept extra blocks.
std::optional<AesInfo> FindAesInfo(const std::string& extra);

// The AES block for an entry of the given strength whose data is `method`,
// as AE-2 writes it (the same block goes into the local and the central
// header).
std::string AesExtraBlock(int strength, uint16_t method);

class AesDecryptor {
public:
    ~AesDecryptor();
    // Derives the keys; null when the password's verifier does not match.
    static std::unique_ptr<AesDecryptor> Open(const AesInfo& info, std::string_view password,
                                              const uint8_t* salt, const uint8_t* verifier);
    // Authenticates then decrypts the next bytes of the data, in place.
    void Decrypt(uint8_t* data, size_t n);
    // Compares the authentication code over everything decrypted so far.
    bool Authentic(const uint8_t mac[kAesMacSize]);

private:
    AesDecryptor() = default;
    struct State;
    std::unique_ptr<State> s_;
    friend class AesEncryptor;
};

// The writing side: a fresh salt from the system's random source, keys from
// the password, then encryption and the MAC over what it produced.
class AesEncryptor {
public:
    ~AesEncryptor();
    // Null when the system gives no random bytes or OpenSSL fails. `head`
    // receives salt and verifier (HeadSize bytes), which precede the data.
    static std::unique_ptr<AesEncryptor> Create(int strength, std::string_view password,
                                                uint8_t* head);
    static size_t HeadSize(int strength) {
        return 4 + 4 * static_cast<size_t>(strength) + kAesVerifierSize;
    }
    void Encrypt(uint8_t* data, size_t n);
    // The authentication code over everything encrypted, to follow the data.
    bool Finish(uint8_t mac[kAesMacSize]);

private:
    AesEncryptor() = default;
    std::unique_ptr<AesDecryptor::State> s_;
};

}  // namespace kt::zip
