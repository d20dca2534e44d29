// tivra-cds [--xml] ENTRADA.csv SAIDA.cds    makes a data packet from CSV text (UTF-8)
// tivra-cds --csv ARQUIVO.cds                 shows a data packet (binary or XML) as CSV
// tivra-cds --catalogo PASTA SAIDA.zip        makes a catalog archive (ExportCatalogo.zip): every
//                                             NAME.csv of the folder becomes NAME.cds (binary),
//                                             index.xml is copied as it is
//
// The CSV's first line is the typed header: NAME:TYPE or NAME:TYPE:WIDTH per column (types
// i1 i2 i4 i8 ui1 ui2 ui4 boolean r8 date time dateTime string string.uni memo widememo blob).
// An empty cell is NULL, "" an empty text. The packet is written in the binary form unless --xml
// is given; the output appears only when the whole packet was written.
#include "catalog/datapacket.h"
#include "catalog/packetcsv.h"
#include "package/packagearchive.h"
#include "package/packagewriter.h"

#include <QDir>
#include <QFileInfo>

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usage(const QString &problem)
{
    if (!problem.isEmpty())
        print(stderr, QStringLiteral("tivra-cds: ") + problem);
    print(stderr, QStringLiteral("Uso: tivra-cds [--xml] ENTRADA.csv SAIDA.cds\n     tivra-cds --csv ARQUIVO.cds\n"
                                 "     tivra-cds --catalogo PASTA SAIDA.zip"));
    return 2;
}

QByteArray readCsv(const QString &path)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw tivra::DataPacketError(QStringLiteral("não foi possível abrir \"") + path + QStringLiteral("\": ") + input.errorString());
    QByteArray bytes = input.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return bytes;
}

// Every NAME.csv of the folder as NAME.cds, and index.xml, in a plain ZIP archive.
int makeCatalog(const QString &folder, const QString &output)
{
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(QStringLiteral("index.xml"))))
        throw tivra::DataPacketError(QStringLiteral("a pasta \"") + folder + QStringLiteral("\" não tem index.xml."));
    tivra::PackageWriter writer(output, QString(), tivra::PackageEncryption::None);
    writer.addFile(QStringLiteral("index.xml"), dir.filePath(QStringLiteral("index.xml")));
    int files = 0;
    for (const QString &name : dir.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name)) {
        try {
            const tivra::DataPacket packet = tivra::packetFromCsv(QString::fromUtf8(readCsv(dir.filePath(name))));
            writer.addBytes(QFileInfo(name).completeBaseName() + QStringLiteral(".cds"), tivra::writeBinaryPacket(packet));
        } catch (const tivra::DataPacketError &e) {
            throw tivra::DataPacketError(name + QStringLiteral(": ") + e.message());
        }
        ++files;
    }
    writer.commit();
    print(stdout, QStringLiteral("%1: index.xml e %2 pacotes de dados.").arg(output).arg(files));
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    bool xml = false;
    bool toCsv = false;
    bool catalog = false;
    QStringList positional;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--xml"))
            xml = true;
        else if (argument == QLatin1String("--csv"))
            toCsv = true;
        else if (argument == QLatin1String("--catalogo"))
            catalog = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return usage({}), 0;
        else if (argument.startsWith(QLatin1String("--")))
            return usage(QStringLiteral("opção desconhecida: ") + argument);
        else
            positional.append(argument);
    }
    try {
        if (catalog) {
            if (positional.size() != 2 || xml || toCsv)
                return usage(QStringLiteral("--catalogo recebe a pasta e o arquivo de saída."));
            return makeCatalog(positional[0], positional[1]);
        }
        if (toCsv) {
            if (positional.size() != 1 || xml)
                return usage(QStringLiteral("--csv recebe um único arquivo."));
            const QByteArray text = tivra::packetToCsv(tivra::readDataPacketFile(positional[0])).toUtf8();
            std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
            return 0;
        }
        if (positional.size() != 2)
            return usage(QStringLiteral("informe o arquivo CSV e o arquivo de saída."));
        const tivra::DataPacket packet = tivra::packetFromCsv(QString::fromUtf8(readCsv(positional[0])));
        const QByteArray out = xml ? tivra::writeXmlPacket(packet) : tivra::writeBinaryPacket(packet);
        QSaveFile output(positional[1]);
        if (!output.open(QIODevice::WriteOnly) || output.write(out) != out.size() || !output.commit())
            return print(stderr, QStringLiteral("tivra-cds: não foi possível gravar \"") + positional[1] + QStringLiteral("\": ") +
                                     output.errorString()),
                   1;
        print(stdout, QStringLiteral("%1: %2 campos, %3 registros, %4 bytes (%5).")
                          .arg(positional[1])
                          .arg(packet.fields.size())
                          .arg(packet.rows.size())
                          .arg(out.size())
                          .arg(xml ? QStringLiteral("XML") : QStringLiteral("binário")));
        return 0;
    } catch (const tivra::DataPacketError &e) {
        print(stderr, QStringLiteral("tivra-cds: ") + e.message());
        return 1;
    } catch (const tivra::PackageError &e) {
        print(stderr, QStringLiteral("tivra-cds: ") + e.message());
        return 1;
    }
}
