// Decryption of WinZip AES entries (AE-1 and AE-2) of a ZIP archive.
//
// An AES entry's raw data is: salt (8, 12 or 16 bytes), a 2-byte password verifier, the
// encrypted data, and a 10-byte authentication code. The keys come from PBKDF2-HMAC-SHA1 (1000
// iterations) over the password and the salt; the data is AES in counter mode with a
// little-endian counter starting at 1; the authentication code is the first 10 bytes of
// HMAC-SHA1 over the encrypted data.
//
// The package reader decrypts AES entries itself instead of through libzip: the libzip of the
// target systems checks a CRC that AE-2 entries do not carry (every entry written by 7-Zip), and
// decrypts block by block, which is several times slower.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tivra::package_detail {

class WinZipAesDecryptor {
public:
    static constexpr int kVerifierLength = 2;
    static constexpr int kAuthCodeLength = 10;

    WinZipAesDecryptor();
    ~WinZipAesDecryptor();
    WinZipAesDecryptor(const WinZipAesDecryptor &) = delete;
    WinZipAesDecryptor &operator=(const WinZipAesDecryptor &) = delete;

    // Salt length of a key size (16, 24 or 32 bytes); 0 for any other size.
    static int saltLength(int keyBytes);

    // Derives the keys. Returns false when the password verifier does not match (wrong password).
    // Throws PackageError when the crypto library fails.
    bool start(const QByteArray &password, int keyBytes, const uint8_t *salt, const uint8_t *verifier);

    // Authenticates and decrypts the next bytes of the encrypted data, in place.
    void decrypt(uint8_t *data, size_t length);

    // Whether the stored authentication code matches the data seen so far.
    bool authenticate(const uint8_t *authCode);

private:
    void refillKeyStream();

    struct Crypto;
    std::unique_ptr<Crypto> m_crypto;
    uint64_t m_counterLow = 0;
    uint64_t m_counterHigh = 0;
    size_t m_keyStreamPos = 0;
    size_t m_keyStreamLength = 0;
};

}  // namespace tivra::package_detail
