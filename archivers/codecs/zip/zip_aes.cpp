#include "zip_aes.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "zip_format.h"

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

std::unique_ptr<AesDecryptor> AesDecryptor::Open(const AesInfo& info, std::string_view password,
                                                 const uint8_t* salt, const uint8_t* verifier) {
    const size_t keyLen = 8 + 8 * static_cast<size_t>(info.strength);
    std::vector<uint8_t> keys(2 * keyLen + kAesVerifierSize);
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt,
                               static_cast<int>(info.SaltSize()), 1000, static_cast<int>(keys.size()),
                               keys.data()) != 1) {
        return nullptr;
    }
    bool match = std::memcmp(keys.data() + 2 * keyLen, verifier, kAesVerifierSize) == 0;
    if (!match) {
        OPENSSL_cleanse(keys.data(), keys.size());
        return nullptr;
    }
    std::unique_ptr<AesDecryptor> d(new AesDecryptor);
    d->s_ = std::make_unique<State>();
    State& s = *d->s_;
    const EVP_CIPHER* ecb = info.strength == 1   ? EVP_aes_128_ecb()
                            : info.strength == 2 ? EVP_aes_192_ecb()
                                                 : EVP_aes_256_ecb();
    s.cipher = EVP_CIPHER_CTX_new();
    s.macAlgorithm = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    s.mac = s.macAlgorithm ? EVP_MAC_CTX_new(s.macAlgorithm) : nullptr;
    char digest[] = "SHA1";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_end()};
    bool ok = s.cipher && s.mac && EVP_EncryptInit_ex(s.cipher, ecb, nullptr, keys.data(), nullptr) == 1 &&
              EVP_CIPHER_CTX_set_padding(s.cipher, 0) == 1 &&
              EVP_MAC_init(s.mac, keys.data() + keyLen, keyLen, params) == 1;
    OPENSSL_cleanse(keys.data(), keys.size());
    return ok ? std::move(d) : nullptr;
}

void AesDecryptor::Decrypt(uint8_t* data, size_t n) {
    State& s = *s_;
    EVP_MAC_update(s.mac, data, n);
    while (n > 0) {
        if (s.used == State::kBatch) {
            // Each block: the counter in its low 8 bytes, little-endian; zeros above.
            for (size_t b = 0; b < State::kBatch; b += 16) {
                uint64_t c = ++s.counter;
                for (int k = 0; k < 8; ++k) s.blocks[b + k] = static_cast<uint8_t>(c >> (8 * k));
            }
            int len = 0;
            EVP_EncryptUpdate(s.cipher, s.stream, &len, s.blocks, static_cast<int>(State::kBatch));
            s.used = 0;
        }
        size_t k = std::min(n, State::kBatch - s.used);
        for (size_t i = 0; i < k; ++i) data[i] ^= s.stream[s.used + i];
        s.used += k;
        data += k;
        n -= k;
    }
}

bool AesDecryptor::Authentic(const uint8_t mac[kAesMacSize]) {
    uint8_t full[EVP_MAX_MD_SIZE];
    size_t len = 0;
    if (EVP_MAC_final(s_->mac, full, &len, sizeof full) != 1 || len < kAesMacSize) return false;
    return CRYPTO_memcmp(full, mac, kAesMacSize) == 0;
}

}  // namespace kt::zip
