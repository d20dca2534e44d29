// tivra-demo-db FILE VENDOR LOGIN PASSWORD TABLESPACES SCRIPT...
//
// Creates FILE (replacing it) as an embedded database of VENDOR ("DB2", "ORACLE" or "MSSQL")
// that only LOGIN with PASSWORD may open, with the comma-separated TABLESPACES, and runs the
// SCRIPTs through the emulation of that vendor. Scripts hold statements ended by ";" at the end
// of a line; lines starting with "--" are comments.
#include "db/embedded/emulation.h"
#include "db/vendor.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

using namespace tivra;

int main(int argc, char *argv[])
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: tivra-demo-db FILE VENDOR LOGIN PASSWORD TABLESPACES SCRIPT...\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const Vendor vendor = vendorFromName(QString::fromLocal8Bit(argv[2]));
    const QString login = QString::fromLocal8Bit(argv[3]);
    const QString password = QString::fromLocal8Bit(argv[4]);
    const QStringList tablespaces = QString::fromLocal8Bit(argv[5]).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (vendor == Vendor::None) {
        std::fprintf(stderr, "tivra-demo-db: unknown vendor %s\n", argv[2]);
        return 2;
    }
    QFile::remove(file);
    QString error;
    if (!embedded::Emulation::createDatabase(file, tablespaces, login, password, &error)) {
        std::fprintf(stderr, "tivra-demo-db: %s\n", qPrintable(error));
        return 1;
    }
    embedded::Emulation db(vendor);
    const QFileInfo info(file);
    ConnectRequest request{vendor, info.completeBaseName(), login, password, {}};
    if (!db.open(info.absolutePath(), request, &error)) {
        std::fprintf(stderr, "tivra-demo-db: %s\n", qPrintable(error));
        return 1;
    }
    for (int i = 6; i < argc; ++i) {
        QFile script(QString::fromLocal8Bit(argv[i]));
        if (!script.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "tivra-demo-db: cannot read %s\n", argv[i]);
            return 1;
        }
        QString statement;
        const QStringList lines = QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'));
        for (QString line : lines) {
            line = line.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1String("--")))
                continue;
            statement += (statement.isEmpty() ? QString() : QStringLiteral("\n")) + line;
            if (!line.endsWith(QLatin1Char(';')))
                continue;
            statement.chop(1);
            if (!db.execute(statement, &error)) {
                std::fprintf(stderr, "tivra-demo-db: %s: %s\n%s\n", argv[i], qPrintable(error), qPrintable(statement));
                return 1;
            }
            statement.clear();
        }
    }
    return 0;
}
