#include "db/credentials.h"

#include "platform/textfile.h"

// The low-level Blowfish functions are deprecated in OpenSSL 3 but still exported by libcrypto;
// they need no provider (the EVP route would need the "legacy" provider loaded).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#include <openssl/crypto.h>

#include <cstring>

namespace tivra {

namespace {

const char kXXChars[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A key schedule that is wiped when it goes out of scope.
class BlowfishKey {
public:
    explicit BlowfishKey(const QByteArray &key)
    {
        if (key.size() < 1 || key.size() > 56)
            throw CredentialError(QStringLiteral("Blowfish: Key must be between 1 and 56 bytes"));
        BF_set_key(&m_key, int(key.size()), reinterpret_cast<const unsigned char *>(key.constData()));
    }
    ~BlowfishKey() { OPENSSL_cleanse(&m_key, sizeof m_key); }
    BlowfishKey(const BlowfishKey &) = delete;
    BlowfishKey &operator=(const BlowfishKey &) = delete;

    void run(QByteArray &data, int mode)
    {
        for (qsizetype i = 0; i + 8 <= data.size(); i += 8) {
            auto *block = reinterpret_cast<unsigned char *>(data.data() + i);
            BF_ecb_encrypt(block, block, &m_key, mode);
        }
    }

private:
    BF_KEY m_key;
};

}  // namespace

QString encodeXXText(const QByteArray &bytes)
{
    QString text;
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const quint32 v = (quint32(b[i]) << 16) | (quint32(b[i + 1]) << 8) | b[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            text += QLatin1Char(kXXChars[(v >> shift) & 0x3f]);
    }
    if (n - i == 1) {
        const quint32 v = quint32(b[i]) << 16;
        text += QLatin1Char(kXXChars[(v >> 18) & 0x3f]);
        text += QLatin1Char(kXXChars[(v >> 12) & 0x3f]);
    } else if (n - i == 2) {
        const quint32 v = (quint32(b[i]) << 16) | (quint32(b[i + 1]) << 8);
        text += QLatin1Char(kXXChars[(v >> 18) & 0x3f]);
        text += QLatin1Char(kXXChars[(v >> 12) & 0x3f]);
        text += QLatin1Char(kXXChars[(v >> 6) & 0x3f]);
    }
    return text;
}

QByteArray decodeXXText(const QString &text)
{
    QByteArray bytes;
    quint32 accumulator = 0;
    int count = 0;
    for (const QChar c : text) {
        const char *found = c.unicode() < 128 && c.unicode() > 0 ? std::strchr(kXXChars, char(c.unicode())) : nullptr;
        if (!found)
            throw CredentialError(QStringLiteral("Blowfish: Error converting from Base64 - invalid character"));
        accumulator = (accumulator << 6) | quint32(found - kXXChars);
        if (++count == 4) {
            bytes.append(char((accumulator >> 16) & 0xff));
            bytes.append(char((accumulator >> 8) & 0xff));
            bytes.append(char(accumulator & 0xff));
            accumulator = 0;
            count = 0;
        }
    }
    if (count == 2) {
        bytes.append(char((accumulator >> 4) & 0xff));
    } else if (count == 3) {
        bytes.append(char((accumulator >> 10) & 0xff));
        bytes.append(char((accumulator >> 2) & 0xff));
    }
    return bytes;
}

QString DecodeCredential(const QString &stored, const QByteArray &key)
{
    BlowfishKey cipher(key);
    if (stored.isEmpty())
        return {};
    QByteArray bytes = decodeXXText(stored);
    if (bytes.size() < 8)
        throw CredentialError(QStringLiteral("Blowfish: Input not valid - too short"));
    if (bytes.size() % 8 != 0)
        throw CredentialError(QStringLiteral("Blowfish: Input not valid - length is not a multiple of 8 bytes"));
    cipher.run(bytes, BF_DECRYPT);
    const int last = static_cast<unsigned char>(bytes.back());
    bytes.chop(last >= 1 && last <= 8 ? last : 1);
    const QString plain = platform::fromWindows1252(bytes);
    bytes.fill('\0');
    return plain;
}

QString EncodeCredential(const QString &plain, const QByteArray &key)
{
    BlowfishKey cipher(key);
    QByteArray bytes = platform::toWindows1252(plain);
    const int pad = 8 - int(bytes.size() % 8);
    bytes.append(QByteArray(pad, char(pad)));
    cipher.run(bytes, BF_ENCRYPT);
    // The configuration tools' form: a zero byte appended when the length is not a multiple of
    // 3, encoded, and then the last character dropped again.
    const bool appended = bytes.size() % 3 != 0;
    if (appended)
        bytes.append('\0');
    QString text = encodeXXText(bytes);
    if (appended)
        text.chop(1);
    return text;
}

QString Base64Encode(const QByteArray &bytes)
{
    QString text;
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; i += 3) {
        const quint32 v = (quint32(b[i]) << 16) | (i + 1 < n ? quint32(b[i + 1]) << 8 : 0) | (i + 2 < n ? b[i + 2] : 0);
        text += QLatin1Char(kBase64Chars[(v >> 18) & 0x3f]);
        text += QLatin1Char(kBase64Chars[(v >> 12) & 0x3f]);
        text += i + 1 < n ? QLatin1Char(kBase64Chars[(v >> 6) & 0x3f]) : QLatin1Char('=');
        text += i + 2 < n ? QLatin1Char(kBase64Chars[v & 0x3f]) : QLatin1Char('=');
    }
    return text;
}

QByteArray Base64Decode(const QString &text)
{
    const qsizetype n = text.size();
    if (n == 0 || n % 4 != 0)
        return {};
    qsizetype padding = 0;
    if (text.endsWith(QLatin1String("==")))
        padding = 2;
    else if (text.endsWith(QLatin1Char('=')))
        padding = 1;
    QByteArray bytes;
    quint32 accumulator = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        quint32 value = 0;
        if (i >= n - padding) {
            value = 0;  // the final padding
        } else {
            const char *found = c.unicode() < 128 && c.unicode() > 0 ? std::strchr(kBase64Chars, char(c.unicode())) : nullptr;
            if (!found)
                return {};
            value = quint32(found - kBase64Chars);
        }
        accumulator = (accumulator << 6) | value;
        if (i % 4 == 3) {
            bytes.append(char((accumulator >> 16) & 0xff));
            bytes.append(char((accumulator >> 8) & 0xff));
            bytes.append(char(accumulator & 0xff));
            accumulator = 0;
        }
    }
    bytes.chop(padding);
    return bytes;
}

}  // namespace tivra
