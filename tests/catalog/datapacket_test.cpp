// Data packets: the binary and XML readers and writers, the visible rows the importers see, and
// bad input (truncation, inconsistent lengths, unknown types) reported with the file and offset.
#include "catalog/datapacket.h"
#include "catalog/packetcsv.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTime>
#include <gtest/gtest.h>

using namespace tivra;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// The worked example of the format note: one FLOATIEEE field "NewCust", LCID 1033, one row 9851.0.
const QByteArray kExample = hex(
    "9619E0BD01000000180000000100010000000300000037 00"
    "074E6577437573740800040000000000"
    "0100044C4349440400010009040000"
    "000000000000803DC340");

PacketField field(const char *name, PacketFieldType type, int width = 0)
{
    PacketField f;
    f.name = QLatin1String(name);
    f.type = type;
    f.width = width;
    return f;
}

// A packet with every field type, NULLs, a memo with line breaks and quotes, a blob holding every
// byte value, and rows in several states.
DataPacket everyType()
{
    DataPacket p;
    p.fields = {field("I1", PacketFieldType::Int8),      field("I2", PacketFieldType::Int16),
                field("I4", PacketFieldType::Int32),     field("I8", PacketFieldType::Int64),
                field("U1", PacketFieldType::UInt8),     field("U2", PacketFieldType::UInt16),
                field("U4", PacketFieldType::UInt32),    field("B", PacketFieldType::Boolean),
                field("F", PacketFieldType::Float),      field("D", PacketFieldType::Date),
                field("T", PacketFieldType::Time),       field("TS", PacketFieldType::DateTime),
                field("S", PacketFieldType::String, 30), field("W", PacketFieldType::WideString, 300),
                field("M", PacketFieldType::Memo),       field("WM", PacketFieldType::WideMemo),
                field("BL", PacketFieldType::Blob)};
    p.fields[8].subtype = QStringLiteral("Money");
    p.fields[2].attributes = kFieldRequired;
    p.properties.push_back(PacketProperty::fromText(QStringLiteral("LCID"), QStringLiteral("1046")));
    p.properties.push_back(PacketProperty::fromText(QStringLiteral("DEFAULT_ORDER"), QStringLiteral("3 1")));
    p.properties.push_back(PacketProperty::fromText(QStringLiteral("CHANGE_LOG"), QStringLiteral("1 0 4 2 0 8")));
    p.properties.push_back(PacketProperty::fromText(QStringLiteral("MEU_PARAM"), QStringLiteral("valor qualquer")));
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every.append(char(i));
    PacketRow full;
    full.values = {qint64(-128), qint64(-32768), qint64(-2147483647 - 1), qint64(-9007199254740993LL),
                   qint64(255), qint64(65535), qint64(4294967295LL), true, 9851.25,
                   QDate(2024, 2, 29), QTime(23, 59, 58, 999), QDateTime(QDate(1999, 12, 31), QTime(10, 0, 0, 5), Qt::UTC),
                   QStringLiteral("Olá, 'mundo' \"citado\""), QStringLiteral("日本語 e ação"),
                   QStringLiteral("linha 1\r\nlinha 2\ttab & <tag> 'aspas'"), QStringLiteral("ünïcødé\nmemo"), every};
    PacketRow nulls;
    nulls.state = 4;  // inserted: visible
    for (size_t i = 0; i < p.fields.size(); ++i)
        nulls.values.append(QVariant());
    nulls.values[12] = QString();  // empty text is not NULL
    nulls.values[16] = QByteArray();
    PacketRow deleted = full;
    deleted.state = 2;
    deleted.values[2] = qint64(7);
    PacketRow original = full;
    original.state = 1;
    original.values[2] = qint64(8);
    PacketRow modified = full;
    modified.state = 8;
    modified.values[2] = qint64(9);
    p.rows = {full, nulls, deleted, original, modified};
    return p;
}

void expectSamePacket(const DataPacket &a, const DataPacket &b)
{
    ASSERT_EQ(a.fields.size(), b.fields.size());
    for (size_t f = 0; f < a.fields.size(); ++f) {
        SCOPED_TRACE(a.fields[f].name.toStdString());
        EXPECT_EQ(a.fields[f].name, b.fields[f].name);
        EXPECT_EQ(a.fields[f].type, b.fields[f].type);
        EXPECT_EQ(a.fields[f].width, b.fields[f].width);
        EXPECT_EQ(a.fields[f].attributes, b.fields[f].attributes);
    }
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (size_t r = 0; r < a.rows.size(); ++r) {
        EXPECT_EQ(a.rows[r].state, b.rows[r].state) << "row " << r;
        for (size_t f = 0; f < a.fields.size(); ++f) {
            const QVariant &x = a.rows[r].values.at(qsizetype(f));
            const QVariant &y = b.rows[r].values.at(qsizetype(f));
            EXPECT_EQ(x.isNull(), y.isNull()) << "row " << r << " field " << a.fields[f].name.toStdString();
            if (!x.isNull() && !y.isNull()) {
                EXPECT_EQ(x, y) << "row " << r << " field " << a.fields[f].name.toStdString() << ": "
                                << x.toString().toStdString() << " / " << y.toString().toStdString();
            }
        }
    }
    ASSERT_EQ(a.properties.size(), b.properties.size());
    for (size_t i = 0; i < a.properties.size(); ++i) {
        EXPECT_EQ(a.properties[i].name, b.properties[i].name);
        EXPECT_EQ(a.properties[i].text(), b.properties[i].text());
    }
}

QString errorOf(const QByteArray &bytes, const QString &source = QStringLiteral("Teste.cds"))
{
    try {
        readDataPacket(bytes, source);
    } catch (const DataPacketError &e) {
        return e.message();
    }
    return {};
}

}  // namespace

TEST(DataPacketBinary, ReadsTheWorkedExampleFieldByField)
{
    ASSERT_EQ(kExample.size(), 65);
    const DataPacket p = readDataPacket(kExample, QStringLiteral("Exemplo.cds"));
    ASSERT_EQ(p.fields.size(), 1u);
    EXPECT_EQ(p.fields[0].name, QStringLiteral("NewCust"));
    EXPECT_EQ(p.fields[0].type, PacketFieldType::Float);
    EXPECT_EQ(p.fields[0].attributes, 0);
    ASSERT_EQ(p.properties.size(), 1u);
    EXPECT_EQ(p.properties[0].name, QStringLiteral("LCID"));
    EXPECT_EQ(p.properties[0].text(), QStringLiteral("1033"));
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0].state, 0);
    EXPECT_EQ(p.rows[0].values.at(0).toDouble(), 9851.0);
    const ResultTable t = p.table();
    EXPECT_EQ(t.integer(0, QStringLiteral("NEWCUST")), 9851);
    EXPECT_EQ(t.text(0, QStringLiteral("NewCust")), QStringLiteral("9851"));
    // The writer produces the same 65 bytes.
    EXPECT_EQ(writeBinaryPacket(p).toHex(), kExample.toHex());
}

TEST(DataPacketBinary, RoundTripKeepsEveryTypeNullStateAndProperty)
{
    const DataPacket p = everyType();
    const QByteArray bytes = writeBinaryPacket(p);
    const DataPacket back = readDataPacket(bytes, QStringLiteral("x.cds"));
    expectSamePacket(p, back);
    EXPECT_EQ(back.fields[8].subtype, QStringLiteral("Money"));
    EXPECT_EQ(back.fields[14].subtype, QStringLiteral("Text"));
    EXPECT_EQ(back.property(QStringLiteral("DEFAULT_ORDER"))->text(), QStringLiteral("3 1"));
    // A second write is byte for byte the same.
    EXPECT_EQ(writeBinaryPacket(back), bytes);
}

TEST(DataPacketXml, RoundTripKeepsEveryTypeNullStateAndProperty)
{
    const DataPacket p = everyType();
    const QByteArray xml = writeXmlPacket(p);
    ASSERT_TRUE(xml.startsWith("<?xml")) << xml.left(80).toStdString();
    const DataPacket back = readDataPacket(xml, QStringLiteral("x.xml"));
    expectSamePacket(p, back);
    // XML to binary and back again.
    expectSamePacket(p, readDataPacket(writeBinaryPacket(back), QStringLiteral("y.cds")));
}

TEST(DataPacketRows, OnlyVisibleRowsReachTheTableAndNullReadsAsZeroOrEmpty)
{
    const ResultTable t = everyType().table();
    ASSERT_EQ(t.count(), 3);  // unmodified, inserted, modified; not deleted nor original
    EXPECT_EQ(t.integer(0, QStringLiteral("I4")), -2147483648LL);
    EXPECT_EQ(t.integer(2, QStringLiteral("I4")), 9);
    EXPECT_TRUE(t.isNull(1, QStringLiteral("I4")));
    EXPECT_EQ(t.integer(1, QStringLiteral("I4")), 0);
    EXPECT_EQ(t.text(1, QStringLiteral("D")), QString());
    EXPECT_FALSE(t.isNull(1, QStringLiteral("S")));
    EXPECT_EQ(t.text(0, QStringLiteral("M")), QStringLiteral("linha 1\r\nlinha 2\ttab & <tag> 'aspas'"));
    EXPECT_EQ(t.text(0, QStringLiteral("D")), QStringLiteral("2024-02-29"));
    EXPECT_THROW(t.text(0, QStringLiteral("NAO_EXISTE")), DbError);
    EXPECT_TRUE(DataPacket::visibleState(0x40));
    EXPECT_FALSE(DataPacket::visibleState(0x20));
}

TEST(DataPacketRows, OrderingAndFiltering)
{
    const DataPacket p = packetFromCsv(QStringLiteral("ID:i4,TXT:string:10\n3,c\n1,a\n,n\n2,b\n1,a2\n"));
    const ResultTable ordered = orderedBy(p.table(), QStringLiteral("ID"));
    QStringList order;
    for (int r = 0; r < ordered.count(); ++r)
        order << ordered.text(r, QStringLiteral("TXT"));
    EXPECT_EQ(order.join(QLatin1Char(' ')), QStringLiteral("n a a2 b c"));
    EXPECT_EQ(filteredGreater(p.table(), QStringLiteral("ID"), 1).count(), 2);
    const ResultTable equal = filteredEqual(p.table(), QStringLiteral("TXT"), QStringLiteral("b"));
    ASSERT_EQ(equal.count(), 1);
    EXPECT_EQ(equal.integer(0, QStringLiteral("ID")), 2);
    EXPECT_THROW(orderedBy(p.table(), QStringLiteral("X")), DbError);
}

TEST(DataPacketXml, HandWrittenSamples)
{
    // The note's sample, ANSI without an encoding in the declaration.
    QByteArray ansi("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                    "<FIELD attrname=\"ID_MSG\" fieldtype=\"i4\"/><FIELD attrname=\"DESCR_MSG\" fieldtype=\"string\" WIDTH=\"200\"/>"
                    "</FIELDS><PARAMS LCID=\"1046\"/></METADATA><ROWDATA><ROW ID_MSG=\"1\" DESCR_MSG=\"Ol\xE1\"/>"
                    "<ROW ID_MSG=\"2\"/><ROW ID_MSG=\"3\" DESCR_MSG=\"\"/><ROW RowState=\"2\" ID_MSG=\"4\"/>"
                    "<ROW ID_MSG=\"5\" DESCR_MSG=\"a&#233;&amp;&quot;b\"/></ROWDATA></DATAPACKET>");
    const DataPacket p = readDataPacket(ansi, QStringLiteral("Mensagens.cds"));
    ASSERT_EQ(p.fields.size(), 2u);
    EXPECT_EQ(p.fields[1].width, 200);
    EXPECT_EQ(p.property(QStringLiteral("LCID"))->text(), QStringLiteral("1046"));
    const ResultTable t = p.table();
    ASSERT_EQ(t.count(), 4);
    EXPECT_EQ(t.text(0, QStringLiteral("DESCR_MSG")), QStringLiteral("Olá"));
    EXPECT_TRUE(t.isNull(1, QStringLiteral("DESCR_MSG")));
    EXPECT_FALSE(t.isNull(2, QStringLiteral("DESCR_MSG")));
    EXPECT_EQ(t.text(3, QStringLiteral("DESCR_MSG")), QStringLiteral("aé&\"b"));

    // UTF-8, fieldname for a name that is not XML-safe, every notation of dates and times.
    const QByteArray utf8 = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n"
        "<FIELD fieldname=\"VALOR R$\" attrname=\"VALOR_R_\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>\n"
        "<FIELD attrname=\"DT\" fieldtype=\"dateTime\"/><FIELD attrname=\"D\" fieldtype=\"date\"/>\n"
        "<FIELD attrname=\"H\" fieldtype=\"time\"/><FIELD attrname=\"OK\" fieldtype=\"boolean\"/>\n"
        "<FIELD attrname=\"N\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"15\"/>\n"
        "<FIELD attrname=\"MEMO\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/><FIELD attrname=\"IMG\" fieldtype=\"bin.hex\" SUBTYPE=\"Graphics\"/>\n"
        "<FIELD attrname=\"ID\" fieldtype=\"i4\" readonly=\"true\" SUBTYPE=\"Autoinc\" required=\"true\"/>\n"
        "</FIELDS><PARAMS/></METADATA><ROWDATA>\n"
        "<ROW VALOR_R_=\"12.5\" DT=\"20240131T10:00:00000\" D=\"20240229\" H=\"10:00:00123\" OK=\"TRUE\" N=\"3.14\" "
        "MEMO=\"ação&#13;&#10;fim\" IMG=\"AAEC/w==\" ID=\"7\"/>\n"
        "<ROW DT=\"20240131\" OK=\"FALSE\"/>\n"
        "</ROWDATA></DATAPACKET>\n").toUtf8();
    const DataPacket u = readDataPacket(utf8, QStringLiteral("u.cds"));
    const ResultTable ut = u.table();
    ASSERT_EQ(ut.count(), 2);
    EXPECT_EQ(u.fields[0].name, QStringLiteral("VALOR R$"));
    EXPECT_EQ(ut.value(0, QStringLiteral("VALOR R$")).toDouble(), 12.5);
    EXPECT_EQ(ut.text(0, QStringLiteral("DT")), QStringLiteral("2024-01-31 10:00:00"));
    EXPECT_EQ(ut.text(1, QStringLiteral("DT")), QStringLiteral("2024-01-31 00:00:00"));
    EXPECT_EQ(ut.value(0, QStringLiteral("H")).toTime(), QTime(10, 0, 0, 123));
    EXPECT_EQ(ut.integer(0, QStringLiteral("OK")), 1);
    EXPECT_EQ(ut.integer(1, QStringLiteral("OK")), 0);
    EXPECT_EQ(ut.text(0, QStringLiteral("MEMO")), QStringLiteral("ação\r\nfim"));
    EXPECT_EQ(ut.value(0, QStringLiteral("IMG")).toByteArray(), hex("000102ff"));
    EXPECT_EQ(u.fields[8].attributes, kFieldReadOnly | kFieldRequired);
    EXPECT_EQ(u.fields[8].subtype, QStringLiteral("Autoinc"));
}

TEST(DataPacketXml, BadSamplesNameTheFileAndLine)
{
    const auto sample = [](const char *fields, const char *rows) -> QByteArray {
        return QByteArray("<?xml version=\"1.0\"?>\n<DATAPACKET><METADATA><FIELDS>\n") + fields +
               "\n</FIELDS></METADATA><ROWDATA>\n" + rows + "\n</ROWDATA></DATAPACKET>";
    };
    QString e = errorOf(sample("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"x1\"/>"), QStringLiteral("Col7.cds"));
    EXPECT_TRUE(e.contains(QStringLiteral("Col7.cds")) && e.contains(QStringLiteral("linha 5")) && e.contains(QStringLiteral("\"A\"")))
        << e.toStdString();
    e = errorOf(sample("<FIELD attrname=\"A\" fieldtype=\"i1\"/>", "<ROW A=\"300\"/>"));
    EXPECT_TRUE(e.contains(QStringLiteral("valor inválido"))) << e.toStdString();
    e = errorOf(sample("<FIELD attrname=\"A\" fieldtype=\"nested\"/>", ""));
    EXPECT_TRUE(e.contains(QStringLiteral("nested")) && e.contains(QStringLiteral("linha 3"))) << e.toStdString();
    e = errorOf(sample("<FIELD attrname=\"A\" fieldtype=\"date\"/>", "<ROW A=\"20240230\"/>"));
    EXPECT_FALSE(e.isEmpty());
    e = errorOf(sample("<FIELD attrname=\"A\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>", "<ROW A=\"**\"/>"));
    EXPECT_FALSE(e.isEmpty());
    e = errorOf(sample("<FIELD attrname=\"A\" fieldtype=\"i4\"/>", "<ROW A=\"1\">"));  // not closed
    EXPECT_TRUE(e.contains(QStringLiteral("Teste.cds")) && e.contains(QStringLiteral("linha"))) << e.toStdString();
    EXPECT_FALSE(errorOf("<OUTRO/>").isEmpty());
    EXPECT_FALSE(errorOf("").isEmpty());
    EXPECT_TRUE(errorOf("PK\x03\x04").contains(QStringLiteral("posição 0")));
}

TEST(DataPacketBinary, TruncationAtEveryOffsetIsAnErrorNamingFileAndOffset)
{
    DataPacket p = packetFromCsv(QStringLiteral("ID:i4,NOME:string:20,MEMO:memo,D:date,F:r8\n"
                                                "1,Um,\"texto\nlongo\",20240101,1.5\n2,,,,\n3,Três,x,19991231,-2\n"));
    p.properties.push_back(PacketProperty::fromText(QStringLiteral("LCID"), QStringLiteral("1046")));
    const QByteArray bytes = writeBinaryPacket(p);
    ASSERT_NO_THROW(readDataPacket(bytes, QStringLiteral("ok.cds")));
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        const QString e = errorOf(bytes.left(n), QStringLiteral("Tab1.cds"));
        ASSERT_FALSE(e.isEmpty()) << "a file cut at " << n << " bytes was accepted";
        EXPECT_TRUE(e.contains(QStringLiteral("Tab1.cds")) && e.contains(QStringLiteral("posição "))) << e.toStdString();
    }
    // Extra bytes after the last record are not silently ignored either.
    EXPECT_TRUE(errorOf(bytes + "x").contains(QStringLiteral("após o último registro")));
    // Every single-byte change is read or rejected, never a crash.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QByteArray changed = bytes;
        changed[i] = char(changed[i] ^ 0xA5);
        QString error;
        (void)parseDataPacket(changed.constData(), size_t(changed.size()), &error);
    }
}

TEST(DataPacketBinary, InconsistentHeadersAndUnknownTypesAreRejected)
{
    QByteArray b = kExample;
    b[14] = char(0xFF);  // record count 0x00FF0001: more than the file can hold
    b[15] = char(0xFF);
    EXPECT_TRUE(errorOf(b).contains(QStringLiteral("registros"))) << errorOf(b).toStdString();
    b = kExample;
    b[22] = 0x38;  // first record offset off by one
    EXPECT_TRUE(errorOf(b).contains(QStringLiteral("primeiro registro")));
    b = kExample;
    b[34] = 0x05;  // type BCD
    EXPECT_TRUE(errorOf(b).contains(QStringLiteral("posição 24"))) << errorOf(b).toStdString();
    b = kExample;
    b[34] = 0x0E;  // embedded table
    EXPECT_FALSE(errorOf(b).isEmpty());
    b = kExample;
    b[34] = char(0x84);  // array of doubles
    EXPECT_FALSE(errorOf(b).isEmpty());
    b = kExample;
    b[56] = 0x03;  // null indicator 3
    EXPECT_TRUE(errorOf(b).contains(QStringLiteral("nulo")));
    b = kExample;
    b[4] = 0x02;  // format version 2
    EXPECT_TRUE(errorOf(b).contains(QStringLiteral("versão")));
    // A string value whose length prefix points past the end.
    DataPacket s = packetFromCsv(QStringLiteral("S:string:10\nabc\n"));
    QByteArray sb = writeBinaryPacket(s);
    sb[sb.size() - 4] = char(0xF0);
    EXPECT_TRUE(errorOf(sb).contains(QStringLiteral("além do fim"))) << errorOf(sb).toStdString();
}

TEST(DataPacketBinary, WriterRefusesValuesThatDoNotFit)
{
    DataPacket p = packetFromCsv(QStringLiteral("A:i2\n1\n"));
    p.rows[0].values[0] = qint64(70000);
    EXPECT_THROW(writeBinaryPacket(p), DataPacketError);
    DataPacket x = packetFromCsv(QStringLiteral("A:string:10\n\"a\"\n"));
    x.rows[0].values[0] = QStringLiteral("bell\x07");
    EXPECT_NO_THROW(writeBinaryPacket(x));
    EXPECT_THROW(writeXmlPacket(x), DataPacketError);
    // A long text in a narrow field gets a wider length prefix rather than being cut.
    DataPacket longText = packetFromCsv(QStringLiteral("A:string:10\nx\n"));
    longText.rows[0].values[0] = QString(400, QLatin1Char('y'));
    EXPECT_EQ(readDataPacket(writeBinaryPacket(longText), QStringLiteral("l")).table().text(0, QStringLiteral("A")).size(), 400);
}

TEST(DataPacketCsv, TypedHeaderQuotesNullsAndErrors)
{
    const DataPacket p = packetFromCsv(QStringLiteral("# comentário\nID:i4,NOME:string:50,OBS:memo,@RowState,FOTO:blob\n"
                                                      "1,\"Silva, José\",\"diz \"\"oi\"\"\n2a linha\",0,AAE=\n"
                                                      "2,\"\",,2,\n"));
    ASSERT_EQ(p.fields.size(), 4u);
    EXPECT_EQ(p.fields[1].width, 50);
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(p.rows[0].values[1].toString(), QStringLiteral("Silva, José"));
    EXPECT_EQ(p.rows[0].values[2].toString(), QStringLiteral("diz \"oi\"\n2a linha"));
    EXPECT_EQ(p.rows[0].values[3].toByteArray(), hex("0001"));
    EXPECT_EQ(p.rows[1].state, 2);
    EXPECT_TRUE(p.rows[1].values[1].isValid() && p.rows[1].values[1].toString().isEmpty());
    EXPECT_FALSE(p.rows[1].values[2].isValid());
    // Back to CSV and in again.
    expectSamePacket(p, packetFromCsv(packetToCsv(p)));

    const auto csvError = [](const char *text) {
        try {
            packetFromCsv(QString::fromUtf8(text));
        } catch (const DataPacketError &e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_TRUE(csvError("ID:int\n1\n").contains(QStringLiteral("tipo desconhecido")));
    EXPECT_TRUE(csvError("ID\n1\n").contains(QStringLiteral("linha 1")));
    EXPECT_TRUE(csvError("ID:i4\n1\nx\n").contains(QStringLiteral("linha 3")));
    EXPECT_TRUE(csvError("ID:i4,B:i4\n1\n").contains(QStringLiteral("colunas")));
    EXPECT_TRUE(csvError("ID:string\n\"aberto\n").contains(QStringLiteral("aspas")));
}

TEST(DataPacketBinary, AHundredThousandRowsReadInLinearTime)
{
    DataPacket p = packetFromCsv(QStringLiteral("ID:i4,NOME:string:40,OBS:memo\n"));
    p.rows.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        PacketRow row;
        row.values = {qint64(i), QStringLiteral("Nome %1").arg(i), i % 3 ? QVariant(QStringLiteral("obs")) : QVariant()};
        p.rows.push_back(row);
    }
    const QByteArray bytes = writeBinaryPacket(p);
    QElapsedTimer timer;
    timer.start();
    const DataPacket back = readDataPacket(bytes, QStringLiteral("grande.cds"));
    const ResultTable t = back.table();
    EXPECT_LT(timer.elapsed(), 5000);
    ASSERT_EQ(t.count(), 100000);
    EXPECT_EQ(t.text(99999, QStringLiteral("NOME")), QStringLiteral("Nome 99999"));
    EXPECT_TRUE(t.isNull(99999, QStringLiteral("OBS")));
    // A header that claims more rows than the bytes can hold is refused before any allocation.
    QByteArray claim = bytes.left(bytes.size() / 2);
    EXPECT_TRUE(errorOf(claim).contains(QStringLiteral("registros")) || !errorOf(claim).isEmpty());
}
