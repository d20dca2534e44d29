// The two text encodings of stored secrets: the enciphered registry values of the database
// credentials (Blowfish ECB with the build's 55-byte keys, carried in a 6-bit text form with the
// XXencode character set) and plain Base64 (RFC 4648).
#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace tivra {

// A deciphering error; what() holds the text in UTF-8 ("Blowfish: ...").
class CredentialError : public std::runtime_error {
public:
    explicit CredentialError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Deciphers a stored value with a key (1 to 56 bytes). Empty text gives empty text. Throws
// CredentialError with "Blowfish: Key must be between 1 and 56 bytes", "Blowfish: Error
// converting from Base64 - invalid character", "Blowfish: Input not valid - too short" or, for a
// byte count of 8 or more that is not a multiple of 8, "Blowfish: Input not valid - length is not
// a multiple of 8 bytes". The plain text is read as Windows-1252.
QString DecodeCredential(const QString &stored, const QByteArray &key);

// The configuration tools' side: enciphers a text (written as Windows-1252) with a key into the
// stored form. Throws CredentialError for a key outside 1 to 56 bytes.
QString EncodeCredential(const QString &plain, const QByteArray &key);

// The 6-bit text form alone (no cipher): four characters per three bytes, most significant bits
// first, a last group of two or three characters for one or two bytes, no padding.
QString encodeXXText(const QByteArray &bytes);
// Throws CredentialError for a character outside the set.
QByteArray decodeXXText(const QString &text);

// RFC 4648 Base64 with "=" padding. Decoding gives an empty result for a text whose length is 0
// or not a multiple of 4, or that holds a character outside the alphabet (other than the final
// padding).
QString Base64Encode(const QByteArray &bytes);
QByteArray Base64Decode(const QString &text);

}  // namespace tivra
