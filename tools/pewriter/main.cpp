// tivra-pe-file: writes a small PE image with a fixed file version.
//   tivra-pe-file PATH A.B.C.D [exe|dll]
// Used by the demo site generator for the application directory and the package.
#include "pewriter/pewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3 || arguments.size() > 4
        || (arguments.size() == 4 && arguments[3] != QLatin1String("exe") && arguments[3] != QLatin1String("dll"))) {
        std::fprintf(stderr, "Uso: tivra-pe-file ARQUIVO A.B.C.D [exe|dll]\n");
        return 2;
    }
    const QStringList parts = arguments[2].split(QLatin1Char('.'));
    tivra::pewriter::PeImageOptions options;
    bool valid = parts.size() == 4;
    for (int i = 0; valid && i < 4; ++i) {
        const uint value = parts[i].toUInt(&valid);
        valid = valid && value <= 0xFFFF;
        options.fileVersion[size_t(i)] = quint16(value);
    }
    if (!valid) {
        std::fprintf(stderr, "Versão inválida \"%s\": informe quatro números de 0 a 65535 (A.B.C.D).\n",
                     qPrintable(arguments[2]));
        return 2;
    }
    options.productVersion = options.fileVersion;
    options.dll = arguments.size() == 4 ? arguments[3] == QLatin1String("dll")
                                        : arguments[1].endsWith(QLatin1String(".dll"), Qt::CaseInsensitive);
    const QString path = arguments[1];
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    if (!tivra::pewriter::writePeFile(path, options, &error)) {
        std::fprintf(stderr, "Não foi possível gravar \"%s\": %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    return 0;
}
