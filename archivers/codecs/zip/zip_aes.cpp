#include "archivers/codecs/zip/zip_aes.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/random.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "archivers/codecs/zip/zip_bytes.h"

namespace kt::zip {

struct AesDecryptor::State {
    EVP_CIPHER_CTX* cipher = nullptr;
    EVP_MAC* macAlgorithm = nullptr;
    EVP_MAC_CTX* mac = nullptr;
    // Key stream made a batch of counter blocks at a time.
    static constexpr size_t kBatch = 4096;
    uint64_t counter = 0;
    uint8_t blocks[kBatch] = {};
    uint8_t stream[kBatch] = {};
    size_t used = kBatch;  // bytes of `stream` already spent

    // Derives the keys into `keys` (AES key | MAC key | verifier) and sets
    // up the cipher and the MAC; false when OpenSSL fails.
    bool Init(int strength, std::string_view password, const uint8_t* salt,
              std::vector<uint8_t>& keys);
    // XORs the key stream into data.
    void Apply(uint8_t* data, size_t n);
    // The first kAesMacSize bytes of the MAC over everything so far.
    bool Mac(uint8_t out[kAesMacSize]) {
        uint8_t full[EVP_MAX_MD_SIZE];
        size_t len = 0;
        if (EVP_MAC_final(mac, full, &len, sizeof full) != 1 || len < kAesMacSize) return false;
        std::memcpy(out, full, kAesMacSize);
        return true;
    }
    ~State() {
        EVP_CIPHER_CTX_free(cipher);
        EVP_MAC_CTX_free(mac);
        EVP_MAC_free(macAlgorithm);
    }
};

std::optional<AesInfo> FindAesInfo(const std::string& extra) {
    const auto* p = reinterpret_cast<const uint8_t*>(extra.data());
    for (size_t i = 0; i + 4 <= extra.size();) {
        uint16_t id = Get16(p + i), len = Get16(p + i + 2);
        if (i + 4 + len > extra.size()) break;
        if (id == kExtraAes && len >= 7 && p[i + 6] == 'A' && p[i + 7] == 'E') {
            AesInfo info;
            info.version = Get16(p + i + 4);
            info.strength = p[i + 8];
            info.method = Get16(p + i + 9);
            if ((info.version != 1 && info.version != 2) || info.strength < 1 || info.strength > 3)
                return std::nullopt;
            return info;
        }
        i += 4 + len;
    }
    return std::nullopt;
}

AesDecryptor::~AesDecryptor() = default;

bool AesDecryptor::State::Init(int strength, std::string_view password, const uint8_t* salt,
                               std::vector<uint8_t>& keys) {
    const size_t keyLen = 8 + 8 * static_cast<size_t>(strength);
    keys.assign(2 * keyLen + kAesVerifierSize, 0);
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt,
                               static_cast<int>(4 + 4 * strength), 1000,
                               static_cast<int>(keys.size()), keys.data()) != 1) {
        return false;
    }
    const EVP_CIPHER* ecb = strength == 1   ? EVP_aes_128_ecb()
                            : strength == 2 ? EVP_aes_192_ecb()
                                            : EVP_aes_256_ecb();
    cipher = EVP_CIPHER_CTX_new();
    macAlgorithm = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    mac = macAlgorithm ? EVP_MAC_CTX_new(macAlgorithm) : nullptr;
    char digest[] = "SHA1";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_end()};
    return cipher && mac && EVP_EncryptInit_ex(cipher, ecb, nullptr, keys.data(), nullptr) == 1 &&
           EVP_CIPHER_CTX_set_padding(cipher, 0) == 1 &&
           EVP_MAC_init(mac, keys.data() + keyLen, keyLen, params) == 1;
}

void AesDecryptor::State::Apply(uint8_t* data, size_t n) {
    while (n > 0) {
        if (used == kBatch) {
            // Each block: the counter in its low 8 bytes, little-endian; zeros above.
            for (size_t b = 0; b < kBatch; b += 16) {
                uint64_t c = ++counter;
                for (int k = 0; k < 8; ++k) blocks[b + k] = static_cast<uint8_t>(c >> (8 * k));
            }
            int len = 0;
            EVP_EncryptUpdate(cipher, stream, &len, blocks, static_cast<int>(kBatch));
            used = 0;
        }
        size_t k = std::min(n, kBatch - used);
        for (size_t i = 0; i < k; ++i) data[i] ^= stream[used + i];
        used += k;
        data += k;
        n -= k;
    }
}

std::unique_ptr<AesDecryptor> AesDecryptor::Open(const AesInfo& info, std::string_view password,
                                                 const uint8_t* salt, const uint8_t* verifier) {
    std::unique_ptr<AesDecryptor> d(new AesDecryptor);
    d->s_ = std::make_unique<State>();
    std::vector<uint8_t> keys;
    bool ok =
        d->s_->Init(info.strength, password, salt, keys) &&
        std::memcmp(keys.data() + keys.size() - kAesVerifierSize, verifier, kAesVerifierSize) == 0;
    OPENSSL_cleanse(keys.data(), keys.size());
    return ok ? std::move(d) : nullptr;
}

void AesDecryptor::Decrypt(uint8_t* data, size_t n) {
    EVP_MAC_update(s_->mac, data, n);
    s_->Apply(data, n);
}

bool AesDecryptor::Authentic(const uint8_t mac[kAesMacSize]) {
    uint8_t computed[kAesMacSize];
    return s_->Mac(computed) && CRYPTO_memcmp(computed, mac, kAesMacSize) == 0;
}

std::string AesExtraBlock(int strength, uint16_t method) {
    std::string b;
    Put16(b, kExtraAes);
    Put16(b, 7);
    Put16(b, 2);  // AE-2: no CRC, the MAC alone vouches for the data
    b += "AE";
    b.push_back(static_cast<char>(strength));
    Put16(b, method);
    return b;
}

AesEncryptor::~AesEncryptor() = default;

std::unique_ptr<AesEncryptor> AesEncryptor::Create(int strength, std::string_view password,
                                                   uint8_t* head) {
    if (strength < 1 || strength > 3) return nullptr;
    const size_t saltSize = 4 + 4 * static_cast<size_t>(strength);
    if (getrandom(head, saltSize, 0) != static_cast<ssize_t>(saltSize)) return nullptr;
    std::unique_ptr<AesEncryptor> e(new AesEncryptor);
    e->s_ = std::make_unique<AesDecryptor::State>();
    std::vector<uint8_t> keys;
    bool ok = e->s_->Init(strength, password, head, keys);
    if (ok)
        std::memcpy(head + saltSize, keys.data() + keys.size() - kAesVerifierSize,
                    kAesVerifierSize);
    OPENSSL_cleanse(keys.data(), keys.size());
    return ok ? std::move(e) : nullptr;
}

void AesEncryptor::Encrypt(uint8_t* data, size_t n) {
    s_->Apply(data, n);
    EVP_MAC_update(s_->mac, data, n);
}

bool AesEncryptor::Finish(uint8_t mac[kAesMacSize]) { return s_->Mac(mac); }

}  // namespace kt::zip
