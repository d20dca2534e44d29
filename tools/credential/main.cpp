// tivra-credential (user|password) TEXT
//
// Prints TEXT enciphered with the build's user-name or password key (Blowfish ECB, padded, in
// the 6-bit text form), as the "UserName" and "Password" values of an alias's registry key hold it.
#include "core/buildsettings.h"
#include "db/credentials.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc != 3 || (std::strcmp(argv[1], "user") != 0 && std::strcmp(argv[1], "password") != 0)) {
        std::fprintf(stderr, "usage: tivra-credential (user|password) TEXT\n");
        return 2;
    }
    const tivra::BuildSettings &build = tivra::BuildSettings::compiled();
    const QByteArray &key = std::strcmp(argv[1], "user") == 0 ? build.credentialKeyUser : build.credentialKeyPassword;
    try {
        const QString stored = tivra::EncodeCredential(QString::fromLocal8Bit(argv[2]), key);
        std::printf("%s\n", stored.toLatin1().constData());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tivra-credential: %s\n", error.what());
        return 1;
    }
    return 0;
}
