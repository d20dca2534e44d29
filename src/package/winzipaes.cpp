// The key derivation runs PBKDF2 on the low-level SHA-1 functions, which OpenSSL 3 marks as
// deprecated but keeps: its EVP-based PBKDF2 allocates and frees a digest context for every one
// of the 4 000 HMAC rounds of each member, which made key derivation the largest cost of
// unpacking a package of many small files.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "package/winzipaes.h"

#include "package/packagearchive.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstring>

namespace tivra::package_detail {

namespace {

constexpr int kIterations = 1000;
constexpr size_t kKeyStreamBytes = 16 * 1024;  // key stream produced per cipher call

// PBKDF2 with HMAC-SHA1 (RFC 8018). The hash states after the inner and outer HMAC key blocks
// are computed once; every round then hashes one ready-padded 64-byte block for each of them.
void pbkdf2HmacSha1(const QByteArray &password, const uint8_t *salt, size_t saltLength, int iterations, uint8_t *out,
                    size_t outLength)
{
    uint8_t key[SHA_CBLOCK] = {};
    if (size_t(password.size()) > sizeof key)
        SHA1(reinterpret_cast<const unsigned char *>(password.constData()), size_t(password.size()), key);
    else
        std::memcpy(key, password.constData(), size_t(password.size()));
    uint8_t pad[SHA_CBLOCK];
    SHA_CTX inner, outer;
    for (size_t i = 0; i < sizeof pad; ++i)
        pad[i] = key[i] ^ 0x36;
    SHA1_Init(&inner);
    SHA1_Update(&inner, pad, sizeof pad);
    for (size_t i = 0; i < sizeof pad; ++i)
        pad[i] = key[i] ^ 0x5c;
    SHA1_Init(&outer);
    SHA1_Update(&outer, pad, sizeof pad);

    // A 20-byte message after one key block, padded: the digest, 0x80, zeros, the length in bits.
    uint8_t block[SHA_CBLOCK] = {};
    block[SHA_DIGEST_LENGTH] = 0x80;
    constexpr unsigned bits = (SHA_CBLOCK + SHA_DIGEST_LENGTH) * 8;
    block[SHA_CBLOCK - 2] = uint8_t(bits >> 8);
    block[SHA_CBLOCK - 1] = uint8_t(bits);
    const auto digestInto = [](const SHA_CTX &c, uint8_t *to) {
        const SHA_LONG words[5] = {c.h0, c.h1, c.h2, c.h3, c.h4};
        for (int i = 0; i < 5; ++i) {
            to[4 * i] = uint8_t(words[i] >> 24);
            to[4 * i + 1] = uint8_t(words[i] >> 16);
            to[4 * i + 2] = uint8_t(words[i] >> 8);
            to[4 * i + 3] = uint8_t(words[i]);
        }
    };

    uint8_t t[SHA_DIGEST_LENGTH];
    for (uint32_t index = 1; outLength > 0; ++index) {
        // First round: HMAC(salt || index), through the general functions.
        const uint8_t indexBytes[4] = {uint8_t(index >> 24), uint8_t(index >> 16), uint8_t(index >> 8), uint8_t(index)};
        SHA_CTX c = inner;
        SHA1_Update(&c, salt, saltLength);
        SHA1_Update(&c, indexBytes, sizeof indexBytes);
        SHA1_Final(block, &c);
        c = outer;
        SHA1_Update(&c, block, SHA_DIGEST_LENGTH);
        SHA1_Final(block, &c);
        std::memcpy(t, block, sizeof t);
        // Further rounds: HMAC of the previous round's digest, which sits in block.
        for (int round = 1; round < iterations; ++round) {
            c = inner;
            SHA1_Transform(&c, block);
            digestInto(c, block);
            c = outer;
            SHA1_Transform(&c, block);
            digestInto(c, block);
            for (size_t i = 0; i < sizeof t; ++i)
                t[i] ^= block[i];
        }
        const size_t n = std::min(outLength, sizeof t);
        std::memcpy(out, t, n);
        out += n;
        outLength -= n;
    }
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(pad, sizeof pad);
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(&inner, sizeof inner);
    OPENSSL_cleanse(&outer, sizeof outer);
}

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
    case 16:
        return 8;
    case 24:
        return 12;
    case 32:
        return 16;
    default:
        return 0;
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
    pbkdf2HmacSha1(password, salt, size_t(saltBytes), kIterations, derived, size_t(derivedBytes));
    if (std::memcmp(derived + 2 * keyBytes, verifier, kVerifierLength) != 0) {
        OPENSSL_cleanse(derived, sizeof derived);
        return false;
    }

    Crypto &c = *m_crypto;
    const EVP_CIPHER *cipher = keyBytes == 16   ? EVP_aes_128_ecb()
                               : keyBytes == 24 ? EVP_aes_192_ecb()
                                                : EVP_aes_256_ecb();
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
    const bool ok = c.macContext && EVP_EncryptInit_ex(c.cipher, cipher, nullptr, derived, nullptr) == 1 &&
                    EVP_CIPHER_CTX_set_padding(c.cipher, 0) == 1 &&
                    EVP_MAC_init(c.macContext, derived + keyBytes, size_t(keyBytes), params) == 1;
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
    if (EVP_EncryptUpdate(c.cipher, c.keyStream, &produced, c.counters, int(kKeyStreamBytes)) != 1 ||
        produced != int(kKeyStreamBytes))
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
    if (EVP_MAC_final(m_crypto->macContext, computed, &computedLength, sizeof computed) != 1 ||
        computedLength < size_t(kAuthCodeLength))
        throw PackageError(QStringLiteral("falha da biblioteca de criptografia: HMAC failed"));
    return CRYPTO_memcmp(computed, authCode, kAuthCodeLength) == 0;
}

}  // namespace tivra::package_detail
