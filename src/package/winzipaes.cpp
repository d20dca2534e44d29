#include "package/winzipaes.h"

#include "package/packagearchive.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <cstring>

namespace tivra::package_detail {

namespace {

constexpr int kIterations = 1000;
constexpr size_t kKeyStreamBytes = 16 * 1024;  // key stream produced per cipher call

}  // namespace

struct WinZipAesDecryptor::Crypto {
    EVP_CIPHER_CTX *cipher = nullptr;
    EVP_MAC *mac = nullptr;
    EVP_MAC_CTX *macContext = nullptr;
    alignas(16) uint8_t counters[kKeyStreamBytes];
    alignas(16) uint8_t keyStream[kKeyStreamBytes];

    ~Crypto()
    {
        EVP_MAC_CTX_free(macContext);
        EVP_MAC_free(mac);
        EVP_CIPHER_CTX_free(cipher);
    }
};

WinZipAesDecryptor::WinZipAesDecryptor() : m_crypto(std::make_unique<Crypto>()) {}

WinZipAesDecryptor::~WinZipAesDecryptor() = default;

int WinZipAesDecryptor::saltLength(int keyBytes)
{
    switch (keyBytes) {
    case 16: return 8;
    case 24: return 12;
    case 32: return 16;
    default: return 0;
    }
}

bool WinZipAesDecryptor::start(const QByteArray &password, int keyBytes, const uint8_t *salt, const uint8_t *verifier)
{
    const int saltBytes = saltLength(keyBytes);
    if (saltBytes == 0)
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: unsupported AES key size"));

    // Encryption key, authentication key, password verifier.
    uint8_t derived[2 * 32 + kVerifierLength];
    const int derivedBytes = 2 * keyBytes + kVerifierLength;
    if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()), salt, saltBytes, kIterations, EVP_sha1(),
                          derivedBytes, derived) != 1)
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: PBKDF2 failed"));
    if (std::memcmp(derived + 2 * keyBytes, verifier, kVerifierLength) != 0) {
        OPENSSL_cleanse(derived, sizeof derived);
        return false;
    }

    Crypto &c = *m_crypto;
    const EVP_CIPHER *cipher = keyBytes == 16 ? EVP_aes_128_ecb() : keyBytes == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    if (!c.cipher)
        c.cipher = EVP_CIPHER_CTX_new();
    if (!c.mac)
        c.mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (!c.cipher || !c.mac)
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: crypto library unavailable"));
    EVP_MAC_CTX_free(c.macContext);
    c.macContext = EVP_MAC_CTX_new(c.mac);
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    const bool ok = c.macContext && EVP_EncryptInit_ex(c.cipher, cipher, nullptr, derived, nullptr) == 1
                    && EVP_CIPHER_CTX_set_padding(c.cipher, 0) == 1
                    && EVP_MAC_init(c.macContext, derived + keyBytes, size_t(keyBytes), params) == 1;
    OPENSSL_cleanse(derived, sizeof derived);
    if (!ok)
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: AES initialisation failed"));

    m_counterLow = 0;
    m_counterHigh = 0;
    m_keyStreamPos = 0;
    m_keyStreamLength = 0;
    return true;
}

void WinZipAesDecryptor::refillKeyStream()
{
    // Counter blocks: a 128-bit little-endian counter, the first block being 1.
    Crypto &c = *m_crypto;
    for (size_t at = 0; at < kKeyStreamBytes; at += 16) {
        if (++m_counterLow == 0)
            ++m_counterHigh;
        for (int i = 0; i < 8; ++i) {
            c.counters[at + size_t(i)] = uint8_t(m_counterLow >> (8 * i));
            c.counters[at + 8 + size_t(i)] = uint8_t(m_counterHigh >> (8 * i));
        }
    }
    int produced = 0;
    if (EVP_EncryptUpdate(c.cipher, c.keyStream, &produced, c.counters, int(kKeyStreamBytes)) != 1
        || produced != int(kKeyStreamBytes))
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: AES failed"));
    m_keyStreamPos = 0;
    m_keyStreamLength = kKeyStreamBytes;
}

void WinZipAesDecryptor::decrypt(uint8_t *data, size_t length)
{
    Crypto &c = *m_crypto;
    if (EVP_MAC_update(c.macContext, data, length) != 1)
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: HMAC failed"));
    while (length > 0) {
        if (m_keyStreamPos == m_keyStreamLength)
            refillKeyStream();
        const size_t n = std::min(length, m_keyStreamLength - m_keyStreamPos);
        const uint8_t *key = c.keyStream + m_keyStreamPos;
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t a, b;
            std::memcpy(&a, data + i, 8);
            std::memcpy(&b, key + i, 8);
            a ^= b;
            std::memcpy(data + i, &a, 8);
        }
        for (; i < n; ++i)
            data[i] ^= key[i];
        data += n;
        length -= n;
        m_keyStreamPos += n;
    }
}

bool WinZipAesDecryptor::authenticate(const uint8_t *authCode)
{
    uint8_t computed[EVP_MAX_MD_SIZE];
    size_t computedLength = 0;
    if (EVP_MAC_final(m_crypto->macContext, computed, &computedLength, sizeof computed) != 1
        || computedLength < size_t(kAuthCodeLength))
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: HMAC failed"));
    return CRYPTO_memcmp(computed, authCode, kAuthCodeLength) == 0;
}

}  // namespace tivra::package_detail
