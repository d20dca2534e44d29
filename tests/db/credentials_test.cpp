// Stored credentials: Blowfish ECB with the published key schedule, the padding rule, the 6-bit
// text form and its errors; plain Base64.
#include "db/credentials.h"

#include <gtest/gtest.h>

using namespace tivra;

namespace {
const QByteArray kKey("dev-user-key-0123456789-abcdefghijklmnopqrstuvwxyz-ABCD");

QString deciphered(const QString &stored, const QByteArray &key = kKey)
{
    try {
        return DecodeCredential(stored, key);
    } catch (const CredentialError &error) {
        return QStringLiteral("error: ") + error.message();
    }
}
}  // namespace

TEST(Credentials, PublishedBlowfishVectorsAndThePaddingRule)
{
    // Eric Young's vectors: zero key / zero block -> 4EF997456198DD78, all ones -> 51866FD5B85ECB8A.
    // Deciphered, the last byte (0 and 255) is outside 1..8: only that byte goes.
    const QString zero = encodeXXText(QByteArray::fromHex("4EF997456198DD78"));
    EXPECT_EQ(DecodeCredential(zero, QByteArray(8, '\0')), QString(7, QChar(0)));
    const QString ones = encodeXXText(QByteArray::fromHex("51866FD5B85ECB8A"));
    EXPECT_EQ(DecodeCredential(ones, QByteArray(8, char(0xFF))), QString(7, QChar(0xFF)));
}

TEST(Credentials, EncoderLengthsAndRoundTrip)
{
    // Ciphertexts of 8, 16, 24, 32 and 40 bytes give 11, 22, 32, 43 and 54 characters.
    const std::pair<int, int> sizes[] = {{0, 11}, {7, 11}, {8, 22}, {15, 22}, {16, 32}, {30, 43}, {39, 54}};
    for (const auto &[plainLength, textLength] : sizes) {
        const QString plain(plainLength, QLatin1Char('s'));
        const QString stored = EncodeCredential(plain, kKey);
        EXPECT_EQ(stored.size(), textLength) << plainLength;
        EXPECT_EQ(DecodeCredential(stored, kKey), plain) << plainLength;
    }
    EXPECT_EQ(DecodeCredential(EncodeCredential(QStringLiteral("Sênha çom acentos"), kKey), kKey), QStringLiteral("Sênha çom acentos"));
    EXPECT_EQ(DecodeCredential(QString(), kKey), QString());
    // Another key does not give the text back.
    EXPECT_NE(deciphered(EncodeCredential(QStringLiteral("tivra"), kKey), QByteArray("other key")), QStringLiteral("tivra"));
}

TEST(Credentials, TextFormGroups)
{
    EXPECT_EQ(encodeXXText(QByteArray("\x00\x00\x00", 3)), QStringLiteral("++++"));
    EXPECT_EQ(encodeXXText(QByteArray("\xff\xff\xff", 3)), QStringLiteral("zzzz"));
    EXPECT_EQ(decodeXXText(QStringLiteral("zzzz")), QByteArray("\xff\xff\xff", 3));
    EXPECT_EQ(decodeXXText(QStringLiteral("zw")), QByteArray("\xff", 1));
    EXPECT_EQ(decodeXXText(QStringLiteral("zzw")), QByteArray("\xff\xff", 2));
}

TEST(Credentials, BadStoredValuesAndKeysGiveTheBlowfishTexts)
{
    const QString good = EncodeCredential(QStringLiteral("tivra"), kKey);
    EXPECT_EQ(deciphered(good, QByteArray()), QStringLiteral("error: Blowfish: Key must be between 1 and 56 bytes"));
    EXPECT_EQ(deciphered(good, QByteArray(57, 'k')), QStringLiteral("error: Blowfish: Key must be between 1 and 56 bytes"));
    EXPECT_EQ(deciphered(QString(), QByteArray(57, 'k')), QStringLiteral("error: Blowfish: Key must be between 1 and 56 bytes"));
    EXPECT_EQ(deciphered(good.left(5) + QLatin1Char('/') + good.mid(6)),
              QStringLiteral("error: Blowfish: Error converting from Base64 - invalid character"));
    EXPECT_EQ(deciphered(good + QLatin1Char(' ')), QStringLiteral("error: Blowfish: Error converting from Base64 - invalid character"));
    EXPECT_EQ(deciphered(good.left(10)), QStringLiteral("error: Blowfish: Input not valid - too short"));
    EXPECT_EQ(deciphered(QStringLiteral("abc")), QStringLiteral("error: Blowfish: Input not valid - too short"));
    // 12 characters are 9 bytes: not a whole number of blocks.
    EXPECT_EQ(deciphered(good + QStringLiteral("A")), QStringLiteral("error: Blowfish: Input not valid - length is not a multiple of 8 bytes"));
    EXPECT_EQ(deciphered(QString(16, QLatin1Char('A'))),
              QStringLiteral("error: Blowfish: Input not valid - length is not a multiple of 8 bytes"));
}

TEST(Base64, EncodesAndDecodesAsRfc4648)
{
    const std::pair<const char *, const char *> vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                                             {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},   {"fooba", "Zm9vYmE="},
                                                             {"foobar", "Zm9vYmFy"}};
    for (const auto &[plain, encoded] : vectors) {
        EXPECT_EQ(Base64Encode(QByteArray(plain)), QLatin1String(encoded));
        if (*plain) {
            EXPECT_EQ(Base64Decode(QLatin1String(encoded)), QByteArray(plain));
        }
    }
    EXPECT_EQ(Base64Encode(QByteArray("\xfb\xff", 2)), QStringLiteral("+/8="));
    EXPECT_EQ(Base64Decode(Base64Encode(Base64Encode("s3nh@").toLatin1())), QByteArray("s3nh@").toBase64());
    // Invalid texts decode to nothing.
    for (const char *bad : {"", "Zg=", "Zm9vY", "Zm9v!A==", "Z=9v", "Zm=v"}) {
        EXPECT_TRUE(Base64Decode(QLatin1String(bad)).isEmpty()) << bad;
    }
}
