// tivra-cds [--xml] ENTRADA.csv SAIDA.cds    makes a data packet from CSV text (UTF-8)
// tivra-cds --csv ARQUIVO.cds                 shows a data packet (binary or XML) as CSV
//
// The CSV's first line is the typed header: NAME:TYPE or NAME:TYPE:WIDTH per column (types
// i1 i2 i4 i8 ui1 ui2 ui4 boolean r8 date time dateTime string string.uni memo widememo blob).
// An empty cell is NULL, "" an empty text. The packet is written in the binary form unless --xml
// is given; the output appears only when the whole packet was written.
#include "catalog/datapacket.h"
#include "catalog/packetcsv.h"

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
    print(stderr, QStringLiteral("Uso: tivra-cds [--xml] ENTRADA.csv SAIDA.cds\n     tivra-cds --csv ARQUIVO.cds"));
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    bool xml = false;
    bool toCsv = false;
    QStringList positional;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--xml"))
            xml = true;
        else if (argument == QLatin1String("--csv"))
            toCsv = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return usage({}), 0;
        else if (argument.startsWith(QLatin1String("--")))
            return usage(QStringLiteral("opção desconhecida: ") + argument);
        else
            positional.append(argument);
    }
    try {
        if (toCsv) {
            if (positional.size() != 1 || xml)
                return usage(QStringLiteral("--csv recebe um único arquivo."));
            const QByteArray text = tivra::packetToCsv(tivra::readDataPacketFile(positional[0])).toUtf8();
            std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
            return 0;
        }
        if (positional.size() != 2)
            return usage(QStringLiteral("informe o arquivo CSV e o arquivo de saída."));
        QFile input(positional[0]);
        if (!input.open(QIODevice::ReadOnly))
            return print(stderr, QStringLiteral("tivra-cds: não foi possível abrir \"") + positional[0] + QStringLiteral("\": ") +
                                     input.errorString()),
                   1;
        QByteArray bytes = input.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        const tivra::DataPacket packet = tivra::packetFromCsv(QString::fromUtf8(bytes));
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
    }
}
