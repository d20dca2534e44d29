// The credential text form: the enciphered user and password values of the database aliases, read
// from the registry, and Base64. Besides not crashing: errors come as CredentialError, and the
// writers' output reads back to what was written.
#include "core/buildsettings.h"
#include "db/credentials.h"
#include "fuzzsupport.h"
#include "platform/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tivra;
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString text = QString::fromLatin1(bytes);
    const BuildSettings &settings = BuildSettings::compiled();

    for (const QByteArray &key : {settings.credentialKeyUser, settings.credentialKeyPassword}) {
        try {
            (void)DecodeCredential(text, key);
        } catch (const CredentialError &) {
        }
    }
    try {
        (void)decodeXXText(text);
    } catch (const CredentialError &) {
    }
    (void)Base64Decode(text);

    // Round trips of the writers over the same bytes.
    TIVRA_FUZZ_CHECK(decodeXXText(encodeXXText(bytes)) == bytes);
    TIVRA_FUZZ_CHECK(Base64Decode(Base64Encode(bytes)) == bytes);
    const QString plain = platform::fromWindows1252(bytes);
    if (!plain.contains(QChar(0))) {
        const QString stored = EncodeCredential(plain, settings.credentialKeyPassword);
        TIVRA_FUZZ_CHECK(DecodeCredential(stored, settings.credentialKeyPassword) == plain);
    }
    return 0;
}
