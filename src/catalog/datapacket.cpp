#include "catalog/datapacket.h"

#include "platform/textfile.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTime>
#include <QXmlStreamWriter>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace tivra {

namespace {

constexpr quint32 kMagic = 0xBDE01996u;
constexpr qint64 kMsPerDay = 86400000;

// Type codes and type word bits of the binary form.
enum : quint16 {
    CodeInt = 1, CodeUInt = 2, CodeBool = 3, CodeFloat = 4, CodeBcd = 5, CodeDate = 6, CodeTime = 7,
    CodeTimestamp = 8, CodeZString = 9, CodeUnicode = 10, CodeBytes = 11,
};
constexpr quint16 kVariable = 0x40;
constexpr quint16 kArray = 0x80;
constexpr quint16 kIncludeInDelta = 0x8000;
constexpr quint16 kCodeMask = 0x3F;

qint64 dayNumberBase()
{
    static const qint64 base = QDate(1, 1, 1).toJulianDay();
    return base;
}

QDate dateFromDayNumber(qint64 day)
{
    return QDate::fromJulianDay(dayNumberBase() + day - 1);
}

qint64 dayNumberOf(const QDate &date)
{
    return date.toJulianDay() - dayNumberBase() + 1;
}

bool isTextType(PacketFieldType t)
{
    return t == PacketFieldType::String || t == PacketFieldType::WideString || t == PacketFieldType::Memo ||
           t == PacketFieldType::WideMemo;
}

bool isIntegerType(PacketFieldType t)
{
    switch (t) {
    case PacketFieldType::Int8: case PacketFieldType::Int16: case PacketFieldType::Int32: case PacketFieldType::Int64:
    case PacketFieldType::UInt8: case PacketFieldType::UInt16: case PacketFieldType::UInt32: return true;
    default: return false;
    }
}

// Range of an integer type.
void integerRange(PacketFieldType t, qint64 &low, qint64 &high)
{
    switch (t) {
    case PacketFieldType::Int8: low = -128; high = 127; return;
    case PacketFieldType::Int16: low = -32768; high = 32767; return;
    case PacketFieldType::Int32: low = std::numeric_limits<qint32>::min(); high = std::numeric_limits<qint32>::max(); return;
    case PacketFieldType::UInt8: low = 0; high = 255; return;
    case PacketFieldType::UInt16: low = 0; high = 65535; return;
    case PacketFieldType::UInt32: low = 0; high = qint64(std::numeric_limits<quint32>::max()); return;
    default: low = std::numeric_limits<qint64>::min(); high = std::numeric_limits<qint64>::max(); return;
    }
}

quint64 readLE(const char *p, int size)
{
    quint64 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}

qint64 signExtend(quint64 v, int size)
{
    if (size >= 8)
        return qint64(v);
    const quint64 sign = quint64(1) << (size * 8 - 1);
    return qint64((v ^ sign) - sign);
}

QString fromUtf16Bytes(const QByteArray &bytes)
{
    std::u16string text(size_t(bytes.size() / 2), u'\0');
    if (!text.empty())
        std::memcpy(text.data(), bytes.constData(), text.size() * 2);
    return QString::fromStdU16String(text);
}

QByteArray toUtf16Bytes(const QString &text)
{
    const std::u16string u = text.toStdU16String();
    QByteArray bytes(qsizetype(u.size() * 2), '\0');
    if (!u.empty())
        std::memcpy(bytes.data(), u.data(), u.size() * 2);
    return bytes;
}

// ---------------------------------------------------------------------------------------------
// Binary reader

class BinaryReader {
public:
    BinaryReader(const QByteArray &bytes, const QString &source) : m_d(bytes.constData()), m_n(size_t(bytes.size())), m_source(source) {}

    [[noreturn]] void fail(const QString &what, size_t at) const
    {
        throw DataPacketError(QStringLiteral("Pacote de dados \"") + m_source + QStringLiteral("\" inválido na posição ") +
                              QString::number(at) + QStringLiteral(": ") + what);
    }
    [[noreturn]] void fail(const QString &what) const { fail(what, m_pos); }

    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_n - m_pos; }

    const char *take(size_t count, const QString &what)
    {
        if (count > remaining())
            fail(QStringLiteral("fim inesperado do arquivo ao ler ") + what + QStringLiteral(" (faltam ") +
                 QString::number(count - remaining()) + QStringLiteral(" bytes)."));
        const char *p = m_d + m_pos;
        m_pos += count;
        return p;
    }
    quint64 uint(int size, const QString &what) { return readLE(take(size_t(size), what), size); }
    quint8 u8(const QString &what) { return quint8(uint(1, what)); }
    quint16 u16(const QString &what) { return quint16(uint(2, what)); }
    quint32 u32(const QString &what) { return quint32(uint(4, what)); }
    QByteArray bytes(size_t count, const QString &what)
    {
        const char *p = take(count, what);
        return QByteArray(p, qsizetype(count));
    }

private:
    const char *m_d;
    size_t m_n;
    size_t m_pos = 0;
    QString m_source;
};

PacketProperty readProperty(BinaryReader &in)
{
    PacketProperty property;
    const quint8 nameLength = in.u8(QStringLiteral("o tamanho do nome de uma propriedade"));
    property.name = platform::fromWindows1252(in.bytes(nameLength, QStringLiteral("o nome de uma propriedade")));
    const QString what = QStringLiteral("a propriedade \"") + property.name + QStringLiteral("\"");
    property.size = in.u16(what);
    property.type = in.u16(what);
    if (property.type & kArray) {
        const size_t at = in.pos();
        const quint32 count = in.u32(what);
        if (property.size == 0 || quint64(count) * property.size > in.remaining())
            in.fail(what + QStringLiteral(" declara ") + QString::number(count) + QStringLiteral(" elementos de ") +
                        QString::number(property.size) + QStringLiteral(" bytes, além do fim do arquivo."),
                    at);
        property.value = in.bytes(size_t(count) * property.size, what);
    } else if (property.type & kVariable) {
        if (property.size != 1 && property.size != 2 && property.size != 4)
            in.fail(what + QStringLiteral(" tem prefixo de tamanho inválido (") + QString::number(property.size) + QStringLiteral(")."));
        const quint64 length = in.uint(property.size, what);
        property.value = in.bytes(size_t(length), what);
    } else {
        property.value = in.bytes(property.size, what);
    }
    return property;
}

struct BinaryField {
    int valueSize = 0;  // fixed size, or width of the length prefix for variable values
    bool variable = false;
};

PacketFieldType binaryFieldType(BinaryReader &in, const PacketField &field, quint16 size, quint16 typeWord, size_t at)
{
    const QString name = QStringLiteral("o campo \"") + field.name + QStringLiteral("\"");
    if (typeWord & ~(kCodeMask | kVariable | kIncludeInDelta))
        in.fail(name + QStringLiteral(" tem tipo não suportado (palavra de tipo 0x") + QString::number(typeWord, 16) +
                    QStringLiteral(": matriz, composto ou tabela embutida)."),
                at);
    const quint16 code = typeWord & kCodeMask;
    const bool variable = typeWord & kVariable;
    const QString sizeError = name + QStringLiteral(" do tipo ") + QString::number(code) + QStringLiteral(" tem tamanho inválido (") +
                              QString::number(size) + (variable ? QStringLiteral(", variável") : QString()) + QStringLiteral(").");
    switch (code) {
    case CodeInt:
        if (variable)
            in.fail(sizeError, at);
        switch (size) {
        case 1: return PacketFieldType::Int8;
        case 2: return PacketFieldType::Int16;
        case 4: return PacketFieldType::Int32;
        case 8: return PacketFieldType::Int64;
        default: in.fail(sizeError, at);
        }
    case CodeUInt:
        if (variable)
            in.fail(sizeError, at);
        switch (size) {
        case 1: return PacketFieldType::UInt8;
        case 2: return PacketFieldType::UInt16;
        case 4: return PacketFieldType::UInt32;
        default: in.fail(sizeError, at);
        }
    case CodeBool:
        if (variable || size != 2)
            in.fail(sizeError, at);
        return PacketFieldType::Boolean;
    case CodeFloat:
        if (variable || size != 8)
            in.fail(sizeError, at);
        return PacketFieldType::Float;
    case CodeDate:
        if (variable || size != 4)
            in.fail(sizeError, at);
        return PacketFieldType::Date;
    case CodeTime:
        if (variable || size != 4)
            in.fail(sizeError, at);
        return PacketFieldType::Time;
    case CodeTimestamp:
        if (variable || size != 8)
            in.fail(sizeError, at);
        return PacketFieldType::DateTime;
    case CodeZString:
    case CodeUnicode:
    case CodeBytes:
        if (!variable || (size != 1 && size != 2 && size != 4))
            in.fail(sizeError, at);
        if (code == CodeZString)
            return PacketFieldType::String;
        if (code == CodeUnicode)
            return PacketFieldType::WideString;
        if (field.subtype.compare(QStringLiteral("Text"), Qt::CaseInsensitive) == 0)
            return PacketFieldType::Memo;
        if (field.subtype.compare(QStringLiteral("WideText"), Qt::CaseInsensitive) == 0)
            return PacketFieldType::WideMemo;
        return PacketFieldType::Blob;
    default:
        in.fail(name + QStringLiteral(" tem tipo de dado desconhecido ou não suportado (") + QString::number(code) +
                    QStringLiteral(")."),
                at);
    }
}

QVariant readValue(BinaryReader &in, const PacketField &field, const BinaryField &layout)
{
    const QString what = QStringLiteral("o valor do campo \"") + field.name + QStringLiteral("\"");
    const size_t at = in.pos();
    if (layout.variable) {
        const quint64 length = in.uint(layout.valueSize, what);
        if (length > in.remaining())
            in.fail(what + QStringLiteral(" declara ") + QString::number(length) + QStringLiteral(" bytes, além do fim do arquivo."), at);
        const QByteArray data = in.bytes(size_t(length), what);
        switch (field.type) {
        case PacketFieldType::String:
        case PacketFieldType::Memo: return platform::fromWindows1252(data);
        case PacketFieldType::WideString:
        case PacketFieldType::WideMemo:
            if (data.size() % 2)
                in.fail(what + QStringLiteral(" tem texto UTF-16 de tamanho ímpar."), at);
            return fromUtf16Bytes(data);
        default: return data;
        }
    }
    const char *p = in.take(size_t(layout.valueSize), what);
    switch (field.type) {
    case PacketFieldType::Int8:
    case PacketFieldType::Int16:
    case PacketFieldType::Int32:
    case PacketFieldType::Int64: return qint64(signExtend(readLE(p, layout.valueSize), layout.valueSize));
    case PacketFieldType::UInt8:
    case PacketFieldType::UInt16:
    case PacketFieldType::UInt32: return qint64(readLE(p, layout.valueSize));
    case PacketFieldType::Boolean: return readLE(p, 2) != 0;
    case PacketFieldType::Float: {
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
    case PacketFieldType::Date: {
        const QDate date = dateFromDayNumber(signExtend(readLE(p, 4), 4));
        if (!date.isValid())
            in.fail(what + QStringLiteral(" não é uma data válida."), at);
        return date;
    }
    case PacketFieldType::Time: {
        const qint64 ms = signExtend(readLE(p, 4), 4);
        if (ms < 0 || ms >= kMsPerDay)
            in.fail(what + QStringLiteral(" não é uma hora válida."), at);
        return QTime::fromMSecsSinceStartOfDay(int(ms));
    }
    case PacketFieldType::DateTime: {
        double d;
        std::memcpy(&d, p, 8);
        // Day 1 is 0001-01-01; the limit keeps the day number within QDate's range.
        if (!std::isfinite(d) || d < double(kMsPerDay) || d > 4.0e15)
            in.fail(what + QStringLiteral(" não é uma data e hora válida."), at);
        const qint64 ms = qint64(std::llround(d));
        const QDate date = dateFromDayNumber(ms / kMsPerDay);
        if (!date.isValid())
            in.fail(what + QStringLiteral(" não é uma data e hora válida."), at);
        return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms % kMsPerDay)), Qt::UTC);
    }
    default: in.fail(what + QStringLiteral(" tem tipo inesperado."), at);
    }
}

DataPacket readBinary(const QByteArray &bytes, const QString &source)
{
    BinaryReader in(bytes, source);
    DataPacket packet;
    if (in.u32(QStringLiteral("o cabeçalho")) != kMagic)
        in.fail(QStringLiteral("assinatura de pacote binário inválida."), 0);
    const quint16 major = in.u16(QStringLiteral("o cabeçalho"));
    const quint16 minor = in.u16(QStringLiteral("o cabeçalho"));
    if (major != 1 || minor != 0)
        in.fail(QStringLiteral("versão de formato não suportada (") + QString::number(major) + QLatin1Char('.') +
                    QString::number(minor) + QStringLiteral(")."),
                4);
    const quint32 headerSize = in.u32(QStringLiteral("o cabeçalho"));
    if (headerSize != 24)
        in.fail(QStringLiteral("tamanho de cabeçalho inválido (") + QString::number(headerSize) + QStringLiteral(")."), 8);
    const quint16 fieldCount = in.u16(QStringLiteral("o cabeçalho"));
    const quint32 recordCount = in.u32(QStringLiteral("o cabeçalho"));
    const quint32 flags = in.u32(QStringLiteral("o cabeçalho"));
    const quint16 firstRecord = in.u16(QStringLiteral("o cabeçalho"));

    std::vector<BinaryField> layout;
    packet.fields.reserve(std::min<size_t>(fieldCount, in.remaining() / 9 + 1));
    for (quint16 i = 0; i < fieldCount; ++i) {
        const size_t at = in.pos();
        PacketField field;
        const quint8 nameLength = in.u8(QStringLiteral("o tamanho do nome do campo ") + QString::number(i + 1));
        field.name = platform::fromWindows1252(in.bytes(nameLength, QStringLiteral("o nome do campo ") + QString::number(i + 1)));
        if (field.name.isEmpty())
            in.fail(QStringLiteral("o campo ") + QString::number(i + 1) + QStringLiteral(" não tem nome."), at);
        const QString what = QStringLiteral("o campo \"") + field.name + QStringLiteral("\"");
        const quint16 size = in.u16(what);
        const quint16 typeWord = in.u16(what);
        field.attributes = in.u16(what);
        const quint16 propertyCount = in.u16(what);
        for (quint16 p = 0; p < propertyCount; ++p) {
            PacketProperty property = readProperty(in);
            if (property.name.compare(QStringLiteral("WIDTH"), Qt::CaseInsensitive) == 0 && !(property.type & (kArray | kVariable)) &&
                property.size >= 1 && property.size <= 4)
                field.width = int(readLE(property.value.constData(), property.size));
            else if (property.name.compare(QStringLiteral("SUBTYPE"), Qt::CaseInsensitive) == 0)
                field.subtype = property.text();
            else
                field.properties.push_back(std::move(property));
        }
        field.type = binaryFieldType(in, field, size, typeWord, at);
        for (const PacketField &other : packet.fields) {
            if (other.name.compare(field.name, Qt::CaseInsensitive) == 0)
                in.fail(QStringLiteral("campo \"") + field.name + QStringLiteral("\" repetido."), at);
        }
        layout.push_back({int(size), bool(typeWord & kVariable)});
        packet.fields.push_back(std::move(field));
    }
    const quint16 propertyCount = in.u16(QStringLiteral("o número de propriedades do pacote"));
    for (quint16 p = 0; p < propertyCount; ++p)
        packet.properties.push_back(readProperty(in));

    if ((flags & 2) && firstRecord != in.pos())
        in.fail(QStringLiteral("o cabeçalho indica o primeiro registro na posição ") + QString::number(firstRecord) +
                QStringLiteral(", mas os metadados terminam nesta posição."));

    const size_t bitmapSize = (size_t(fieldCount) + 3) / 4;
    const size_t minimumRecord = 1 + bitmapSize;
    if (recordCount > in.remaining() / minimumRecord)
        in.fail(QStringLiteral("o cabeçalho declara ") + QString::number(recordCount) +
                QStringLiteral(" registros, mais do que o restante do arquivo pode conter."));
    packet.rows.reserve(recordCount);
    for (quint32 r = 0; r < recordCount; ++r) {
        const QString what = QStringLiteral("o registro ") + QString::number(r + 1);
        PacketRow row;
        row.state = in.u8(what);
        const char *bitmap = in.take(bitmapSize, what);
        row.values.reserve(fieldCount);
        for (quint16 f = 0; f < fieldCount; ++f) {
            const int bits = (quint8(bitmap[f / 4]) >> ((f % 4) * 2)) & 3;
            if (bits == 0)
                row.values.append(readValue(in, packet.fields[f], layout[f]));
            else if (bits == 3)
                in.fail(what + QStringLiteral(": indicador de nulo inválido para o campo \"") + packet.fields[f].name + QStringLiteral("\"."));
            else
                row.values.append(QVariant());
        }
        packet.rows.push_back(std::move(row));
    }
    if (in.remaining() > 0)
        in.fail(QString::number(in.remaining()) + QStringLiteral(" bytes inesperados após o último registro."));
    return packet;
}

// ---------------------------------------------------------------------------------------------
// XML reader (libxml2)

QString xmlText(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

std::optional<QString> attribute(xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!value)
        return std::nullopt;
    QString text = xmlText(value);
    xmlFree(value);
    return text;
}

bool named(xmlNode *node, const char *name)
{
    return node && node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar *>(name)) == 0;
}

xmlNode *child(xmlNode *parent, const char *name)
{
    for (xmlNode *n = parent ? parent->children : nullptr; n; n = n->next) {
        if (named(n, name))
            return n;
    }
    return nullptr;
}

struct XmlDoc {
    xmlDoc *doc = nullptr;
    ~XmlDoc()
    {
        if (doc)
            xmlFreeDoc(doc);
    }
};

}  // namespace

bool packetFieldTypeFromXml(const QString &name, const QString &subtype, PacketFieldType &type)
{
    static const std::pair<const char *, PacketFieldType> names[] = {
        {"i1", PacketFieldType::Int8},        {"i2", PacketFieldType::Int16},        {"i4", PacketFieldType::Int32},
        {"i8", PacketFieldType::Int64},       {"ui1", PacketFieldType::UInt8},       {"ui2", PacketFieldType::UInt16},
        {"ui4", PacketFieldType::UInt32},     {"boolean", PacketFieldType::Boolean}, {"r8", PacketFieldType::Float},
        {"fixed", PacketFieldType::Float},    {"fixedFMT", PacketFieldType::Float},  {"date", PacketFieldType::Date},
        {"time", PacketFieldType::Time},      {"dateTime", PacketFieldType::DateTime}, {"string", PacketFieldType::String},
        {"string.uni", PacketFieldType::WideString},
    };
    for (const auto &[text, value] : names) {
        if (name == QLatin1String(text)) {
            type = value;
            return true;
        }
    }
    if (name == QLatin1String("bin.hex")) {
        if (subtype.compare(QStringLiteral("Text"), Qt::CaseInsensitive) == 0)
            type = PacketFieldType::Memo;
        else if (subtype.compare(QStringLiteral("WideText"), Qt::CaseInsensitive) == 0)
            type = PacketFieldType::WideMemo;
        else
            type = PacketFieldType::Blob;
        return true;
    }
    return false;
}

namespace {

bool parseXmlTime(const QString &text, QTime &time)
{
    // hh:nn:sszzz (milliseconds straight after the seconds; they may be missing).
    if (text.size() != 8 && text.size() != 11)
        return false;
    if (text[2] != QLatin1Char(':') || text[5] != QLatin1Char(':'))
        return false;
    bool ok1 = false, ok2 = false, ok3 = false, ok4 = true;
    const int h = text.mid(0, 2).toInt(&ok1);
    const int m = text.mid(3, 2).toInt(&ok2);
    const int s = text.mid(6, 2).toInt(&ok3);
    const int ms = text.size() == 11 ? text.mid(8, 3).toInt(&ok4) : 0;
    if (!(ok1 && ok2 && ok3 && ok4))
        return false;
    time = QTime(h, m, s, ms);
    return time.isValid();
}

bool parseXmlDate(const QString &text, QDate &date)
{
    if (text.size() != 8)
        return false;
    for (QChar c : text) {
        if (!c.isDigit())
            return false;
    }
    date = QDate(text.mid(0, 4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
    return date.isValid();
}

}  // namespace

QVariant packetValueFromText(const PacketField &field, const QString &text, bool &ok)
{
    ok = true;
    switch (field.type) {
    case PacketFieldType::Int8: case PacketFieldType::Int16: case PacketFieldType::Int32: case PacketFieldType::Int64:
    case PacketFieldType::UInt8: case PacketFieldType::UInt16: case PacketFieldType::UInt32: {
        const qint64 v = text.trimmed().toLongLong(&ok);
        qint64 low, high;
        integerRange(field.type, low, high);
        ok = ok && v >= low && v <= high;
        return v;
    }
    case PacketFieldType::Boolean:
        if (text.compare(QStringLiteral("TRUE"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QStringLiteral("FALSE"), Qt::CaseInsensitive) == 0)
            return false;
        ok = false;
        return {};
    case PacketFieldType::Float: {
        const double d = text.trimmed().toDouble(&ok);
        ok = ok && std::isfinite(d);
        return d;
    }
    case PacketFieldType::Date: {
        QDate date;
        ok = parseXmlDate(text, date);
        return date;
    }
    case PacketFieldType::Time: {
        QTime time;
        ok = parseXmlTime(text, time);
        return time;
    }
    case PacketFieldType::DateTime: {
        QDate date;
        QTime time(0, 0);
        const qsizetype t = text.indexOf(QLatin1Char('T'));
        ok = parseXmlDate(t < 0 ? text : text.left(t), date) && (t < 0 || parseXmlTime(text.mid(t + 1), time));
        return QDateTime(date, time, Qt::UTC);
    }
    case PacketFieldType::Blob: {
        const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        ok = bool(decoded);
        return decoded.decoded;
    }
    default: return text;
    }
}

namespace {

// The encoding named by the XML declaration, empty when there is none.
QByteArray declaredEncoding(const QByteArray &bytes)
{
    if (!bytes.startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    const QByteArray declaration = bytes.left(end < 0 ? 0 : end);
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return {};
    qsizetype q = at + 8;
    while (q < declaration.size() && (declaration[q] == ' ' || declaration[q] == '='))
        ++q;
    if (q >= declaration.size())
        return {};
    const char quote = declaration[q];
    const qsizetype close = declaration.indexOf(quote, q + 1);
    return close < 0 ? QByteArray() : declaration.mid(q + 1, close - q - 1);
}

DataPacket readXml(const QByteArray &bytes, const QString &source)
{
    const auto fail = [&](const QString &what, long line) -> DataPacketError {
        return DataPacketError(QStringLiteral("Pacote de dados \"") + source + QStringLiteral("\" inválido na linha ") +
                               QString::number(line) + QStringLiteral(": ") + what);
    };
    if (bytes.size() > std::numeric_limits<int>::max())
        throw fail(QStringLiteral("arquivo grande demais."), 0);
    // Without an encoding in the declaration the text is the Windows ANSI code page.
    const char *encoding = declaredEncoding(bytes).isEmpty() ? "windows-1252" : nullptr;
    xmlResetLastError();
    XmlDoc doc;
    doc.doc = xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, encoding,
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc.doc) {
        const xmlError *error = xmlGetLastError();
        const QString message = error && error->message ? QString::fromUtf8(error->message).trimmed() : QStringLiteral("XML mal formado");
        throw DataPacketError(QStringLiteral("Pacote de dados \"") + source + QStringLiteral("\" inválido na linha ") +
                              QString::number(error ? error->line : 0) + QStringLiteral(", coluna ") +
                              QString::number(error ? error->int2 : 0) + QStringLiteral(": ") + message + QLatin1Char('.'));
    }
    xmlNode *root = xmlDocGetRootElement(doc.doc);
    if (!named(root, "DATAPACKET"))
        throw fail(QStringLiteral("o elemento raiz não é DATAPACKET."), root ? xmlGetLineNo(root) : 0);
    xmlNode *metadata = child(root, "METADATA");
    xmlNode *fields = child(metadata, "FIELDS");
    if (!fields)
        throw fail(QStringLiteral("faltam METADATA/FIELDS."), xmlGetLineNo(metadata ? metadata : root));

    DataPacket packet;
    std::vector<QByteArray> attrNames;
    for (xmlNode *n = fields->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        const long line = xmlGetLineNo(n);
        if (!named(n, "FIELD"))
            throw fail(QStringLiteral("elemento inesperado em FIELDS."), line);
        PacketField field;
        QString attrName;
        QString typeName;
        for (xmlAttr *a = n->properties; a; a = a->next) {
            const QString name = xmlText(a->name);
            xmlChar *raw = xmlNodeListGetString(doc.doc, a->children, 1);
            const QString value = xmlText(raw);
            xmlFree(raw);
            if (name == QLatin1String("attrname"))
                attrName = value;
            else if (name == QLatin1String("fieldname"))
                field.name = value;
            else if (name == QLatin1String("fieldtype"))
                typeName = value;
            else if (name == QLatin1String("WIDTH")) {
                bool ok = false;
                field.width = value.toInt(&ok);
                if (!ok || field.width < 0 || field.width > 65535)
                    throw fail(QStringLiteral("WIDTH inválido: \"") + value + QStringLiteral("\"."), line);
            } else if (name == QLatin1String("SUBTYPE"))
                field.subtype = value;
            else if (name == QLatin1String("required"))
                field.attributes |= value == QLatin1String("true") ? kFieldRequired : 0;
            else if (name == QLatin1String("readonly"))
                field.attributes |= value == QLatin1String("true") ? kFieldReadOnly : 0;
            else if (name == QLatin1String("hidden"))
                field.attributes |= value == QLatin1String("true") ? kFieldHidden : 0;
            else if (name == QLatin1String("linkfield"))
                field.attributes |= value == QLatin1String("true") ? kFieldLink : 0;
            else
                field.properties.push_back(PacketProperty::fromText(name, value));
        }
        if (attrName.isEmpty())
            throw fail(QStringLiteral("FIELD sem attrname."), line);
        if (field.name.isEmpty())
            field.name = attrName;
        if (!packetFieldTypeFromXml(typeName, field.subtype, field.type))
            throw fail(QStringLiteral("o campo \"") + field.name + QStringLiteral("\" tem tipo desconhecido ou não suportado: \"") +
                           typeName + QStringLiteral("\"."),
                       line);
        for (const PacketField &other : packet.fields) {
            if (other.name.compare(field.name, Qt::CaseInsensitive) == 0)
                throw fail(QStringLiteral("campo \"") + field.name + QStringLiteral("\" repetido."), line);
        }
        attrNames.push_back(attrName.toUtf8());
        packet.fields.push_back(std::move(field));
    }
    if (xmlNode *params = child(metadata, "PARAMS")) {
        for (xmlAttr *a = params->properties; a; a = a->next) {
            xmlChar *raw = xmlNodeListGetString(doc.doc, a->children, 1);
            packet.properties.push_back(PacketProperty::fromText(xmlText(a->name), xmlText(raw)));
            xmlFree(raw);
        }
    }
    xmlNode *rowdata = child(root, "ROWDATA");
    for (xmlNode *n = rowdata ? rowdata->children : nullptr; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        const long line = xmlGetLineNo(n);
        if (!named(n, "ROW"))
            throw fail(QStringLiteral("elemento inesperado em ROWDATA."), line);
        PacketRow row;
        if (const auto state = attribute(n, "RowState")) {
            bool ok = false;
            const uint value = state->toUInt(&ok);
            if (!ok || value > 255)
                throw fail(QStringLiteral("RowState inválido: \"") + *state + QStringLiteral("\"."), line);
            row.state = quint8(value);
        }
        row.values.reserve(qsizetype(packet.fields.size()));
        for (size_t f = 0; f < packet.fields.size(); ++f) {
            const auto text = attribute(n, attrNames[f].constData());
            if (!text) {
                row.values.append(QVariant());
                continue;
            }
            bool ok = false;
            QVariant value = packetValueFromText(packet.fields[f], *text, ok);
            if (!ok)
                throw fail(QStringLiteral("valor inválido para o campo \"") + packet.fields[f].name + QStringLiteral("\" (") +
                               xmlFieldTypeName(packet.fields[f].type) + QStringLiteral("): \"") + text->left(60) + QStringLiteral("\"."),
                           line);
            row.values.append(std::move(value));
        }
        packet.rows.push_back(std::move(row));
    }
    return packet;
}

// ---------------------------------------------------------------------------------------------
// Binary writer

class BinaryWriter {
public:
    QByteArray out;
    void put(quint64 v, int size)
    {
        for (int i = 0; i < size; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    }
    void putDouble(double d)
    {
        char b[8];
        std::memcpy(b, &d, 8);
        out.append(b, 8);
    }
};

[[noreturn]] void writeFail(const QString &what)
{
    throw DataPacketError(QStringLiteral("Não foi possível gravar o pacote de dados: ") + what);
}

void putProperty(BinaryWriter &w, const PacketProperty &property)
{
    const QByteArray name = platform::toWindows1252(property.name);
    if (name.isEmpty() || name.size() > 255)
        writeFail(QStringLiteral("nome de propriedade inválido \"") + property.name + QStringLiteral("\"."));
    w.put(quint64(name.size()), 1);
    w.out.append(name);
    w.put(property.size, 2);
    w.put(property.type, 2);
    if (property.type & kArray) {
        if (property.size == 0 || property.value.size() % property.size)
            writeFail(QStringLiteral("propriedade \"") + property.name + QStringLiteral("\" com matriz inconsistente."));
        w.put(quint64(property.value.size() / property.size), 4);
    } else if (property.type & kVariable) {
        if (property.size != 1 && property.size != 2 && property.size != 4)
            writeFail(QStringLiteral("propriedade \"") + property.name + QStringLiteral("\" com prefixo inválido."));
        if (property.size < 4 && quint64(property.value.size()) >= (quint64(1) << (8 * property.size)))
            writeFail(QStringLiteral("propriedade \"") + property.name + QStringLiteral("\" longa demais."));
        w.put(quint64(property.value.size()), property.size);
    } else if (property.value.size() != property.size) {
        writeFail(QStringLiteral("propriedade \"") + property.name + QStringLiteral("\" com tamanho inconsistente."));
    }
    w.out.append(property.value);
}

PacketProperty numberProperty(const QString &name, quint16 size, quint16 type, quint64 value)
{
    PacketProperty p{name, size, type, {}};
    for (int i = 0; i < size; ++i)
        p.value.append(char((value >> (8 * i)) & 0xFF));
    return p;
}

PacketProperty stringProperty(const QString &name, const QString &text)
{
    return PacketProperty{name, 2, quint16(CodeZString | kVariable), platform::toWindows1252(text) + '\0'};
}

QByteArray encodedText(const PacketField &field, const QVariant &value)
{
    const QString text = value.toString();
    return field.type == PacketFieldType::WideString || field.type == PacketFieldType::WideMemo ? toUtf16Bytes(text)
                                                                                                 : platform::toWindows1252(text);
}

// Size word, type word and (for variable values) prefix width of a field in the binary form.
void binaryLayout(const DataPacket &packet, size_t f, quint16 &size, quint16 &type)
{
    const PacketField &field = packet.fields[f];
    switch (field.type) {
    case PacketFieldType::Int8: size = 1; type = CodeInt; return;
    case PacketFieldType::Int16: size = 2; type = CodeInt; return;
    case PacketFieldType::Int32: size = 4; type = CodeInt; return;
    case PacketFieldType::Int64: size = 8; type = CodeInt; return;
    case PacketFieldType::UInt8: size = 1; type = CodeUInt; return;
    case PacketFieldType::UInt16: size = 2; type = CodeUInt; return;
    case PacketFieldType::UInt32: size = 4; type = CodeUInt; return;
    case PacketFieldType::Boolean: size = 2; type = CodeBool; return;
    case PacketFieldType::Float: size = 8; type = CodeFloat; return;
    case PacketFieldType::Date: size = 4; type = CodeDate; return;
    case PacketFieldType::Time: size = 4; type = CodeTime; return;
    case PacketFieldType::DateTime: size = 8; type = CodeTimestamp; return;
    case PacketFieldType::Memo:
    case PacketFieldType::WideMemo:
    case PacketFieldType::Blob: size = 4; type = CodeBytes | kVariable; return;
    case PacketFieldType::String:
    case PacketFieldType::WideString: {
        const bool wide = field.type == PacketFieldType::WideString;
        qsizetype longest = 0;
        for (const PacketRow &row : packet.rows) {
            const QVariant &v = row.values.value(qsizetype(f));
            if (v.isValid() && !v.isNull())
                longest = std::max(longest, encodedText(field, v).size());
        }
        const int declared = wide ? field.width * 2 : field.width;
        size = declared < 255 && longest <= 255 ? 1 : 2;
        if (longest > 65535)
            writeFail(QStringLiteral("texto longo demais no campo \"") + field.name + QStringLiteral("\" (use um campo memo)."));
        type = (wide ? CodeUnicode : CodeZString) | kVariable;
        return;
    }
    }
}

void putValue(BinaryWriter &w, const PacketField &field, quint16 size, const QVariant &value)
{
    const auto bad = [&]() {
        writeFail(QStringLiteral("valor \"") + value.toString().left(60) + QStringLiteral("\" não cabe no campo \"") + field.name +
                  QStringLiteral("\" (") + xmlFieldTypeName(field.type) + QStringLiteral(")."));
    };
    if (isIntegerType(field.type)) {
        bool ok = false;
        const qint64 v = value.toLongLong(&ok);
        qint64 low, high;
        integerRange(field.type, low, high);
        if (!ok || v < low || v > high)
            bad();
        w.put(quint64(v), size);
        return;
    }
    switch (field.type) {
    case PacketFieldType::Boolean: w.put(value.toBool() ? 1 : 0, 2); return;
    case PacketFieldType::Float: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok)
            bad();
        w.putDouble(d);
        return;
    }
    case PacketFieldType::Date: {
        const QDate date = value.toDate();
        if (!date.isValid())
            bad();
        w.put(quint64(qint64(dayNumberOf(date))), 4);
        return;
    }
    case PacketFieldType::Time: {
        const QTime time = value.toTime();
        if (!time.isValid())
            bad();
        w.put(quint64(time.msecsSinceStartOfDay()), 4);
        return;
    }
    case PacketFieldType::DateTime: {
        const QDateTime moment = value.toDateTime();
        if (!moment.isValid() || dayNumberOf(moment.date()) < 1)
            bad();
        w.putDouble(double(dayNumberOf(moment.date())) * double(kMsPerDay) + double(moment.time().msecsSinceStartOfDay()));
        return;
    }
    case PacketFieldType::Blob: {
        const QByteArray data = value.toByteArray();
        w.put(quint64(data.size()), 4);
        w.out.append(data);
        return;
    }
    default: {
        const QByteArray data = encodedText(field, value);
        w.put(quint64(data.size()), size);
        w.out.append(data);
        return;
    }
    }
}

// ---------------------------------------------------------------------------------------------
// XML writer

}  // namespace

QString packetValueText(const PacketField &field, const QVariant &value)
{
    switch (field.type) {
    case PacketFieldType::Boolean: return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case PacketFieldType::Float: return QString::number(value.toDouble(), 'g', 15);
    case PacketFieldType::Date: return value.toDate().toString(QStringLiteral("yyyyMMdd"));
    case PacketFieldType::Time: return value.toTime().toString(QStringLiteral("hh:mm:sszzz"));
    case PacketFieldType::DateTime: return value.toDateTime().toString(QStringLiteral("yyyyMMddThh:mm:sszzz"));
    case PacketFieldType::Blob: return QString::fromLatin1(value.toByteArray().toBase64());
    default: return isIntegerType(field.type) ? QString::number(value.toLongLong()) : value.toString();
    }
}

namespace {

bool xmlSafe(const QString &text)
{
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)
            return false;
        if (u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

QString PacketProperty::text() const
{
    const quint16 code = type & kCodeMask;
    const bool isSigned = code == CodeInt;
    if (type & kArray) {
        QStringList parts;
        if (size == 1 || size == 2 || size == 4 || size == 8) {
            for (qsizetype at = 0; at + size <= value.size(); at += size) {
                const quint64 v = readLE(value.constData() + at, size);
                parts.append(isSigned ? QString::number(signExtend(v, size)) : QString::number(v));
            }
        }
        return parts.join(QLatin1Char(' '));
    }
    if (code == CodeZString) {
        QByteArray bytes = value;
        while (bytes.endsWith('\0'))
            bytes.chop(1);
        return platform::fromWindows1252(bytes);
    }
    if (code == CodeUnicode)
        return fromUtf16Bytes(value);
    if ((code == CodeInt || code == CodeUInt) && !(type & kVariable) && value.size() >= 1 && value.size() <= 8) {
        const quint64 v = readLE(value.constData(), int(value.size()));
        return isSigned ? QString::number(signExtend(v, int(value.size()))) : QString::number(v);
    }
    if (code == CodeBool && value.size() == 2)
        return readLE(value.constData(), 2) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return QString::fromLatin1(value.toHex());
}

PacketProperty PacketProperty::fromText(const QString &name, const QString &text)
{
    const auto numbers = [&](quint16 size) {
        PacketProperty p{name, size, quint16(CodeUInt | kArray), {}};
        for (const QString &part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            bool ok = false;
            const quint64 v = part.toULongLong(&ok);
            if (!ok || (size < 8 && v >= (quint64(1) << (8 * size))))
                return stringProperty(name, text);
            for (int i = 0; i < size; ++i)
                p.value.append(char((v >> (8 * i)) & 0xFF));
        }
        return p;
    };
    if (name.compare(QStringLiteral("LCID"), Qt::CaseInsensitive) == 0) {
        bool ok = false;
        const qint32 v = text.toInt(&ok);
        if (ok)
            return numberProperty(name, 4, CodeInt, quint64(quint32(v)));
    }
    if (name.compare(QStringLiteral("DEFAULT_ORDER"), Qt::CaseInsensitive) == 0 ||
        name.compare(QStringLiteral("PRIMARY_KEY"), Qt::CaseInsensitive) == 0)
        return numbers(2);
    if (name.compare(QStringLiteral("CHANGE_LOG"), Qt::CaseInsensitive) == 0)
        return numbers(4);
    return stringProperty(name, text);
}

int DataPacket::fieldIndex(const QString &name) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const PacketProperty *DataPacket::property(const QString &name) const
{
    for (const PacketProperty &p : properties) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

int DataPacket::visibleCount() const
{
    return int(std::count_if(rows.begin(), rows.end(), [](const PacketRow &r) { return visibleState(r.state); }));
}

ResultTable DataPacket::table() const
{
    QStringList columns;
    for (const PacketField &field : fields)
        columns.append(field.name);
    std::vector<QVariantList> visible;
    visible.reserve(size_t(visibleCount()));
    for (const PacketRow &row : rows) {
        if (visibleState(row.state))
            visible.push_back(row.values);
    }
    return ResultTable(columns, std::move(visible));
}

DataPacket readDataPacket(const QByteArray &bytes, const QString &source)
{
    if (bytes.startsWith(QByteArray("\x96\x19\xE0\xBD", 4)))
        return readBinary(bytes, source);
    qsizetype start = 0;
    while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\t' || bytes[start] == '\r' || bytes[start] == '\n'))
        ++start;
    if (start < bytes.size() && bytes[start] == '<')
        return readXml(bytes, source);
    throw DataPacketError(QStringLiteral("Pacote de dados \"") + source +
                          QStringLiteral("\" inválido na posição 0: o arquivo não é um pacote de dados binário nem XML."));
}

DataPacket readDataPacketFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DataPacketError(QStringLiteral("Não foi possível abrir o arquivo \"") + path + QStringLiteral("\": ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw DataPacketError(QStringLiteral("Não foi possível ler o arquivo \"") + path + QStringLiteral("\": ") + file.errorString());
    return readDataPacket(bytes, path);
}

std::optional<DataPacket> parseDataPacket(const char *data, std::size_t size, QString *error)
{
    try {
        if (size > std::size_t(std::numeric_limits<qsizetype>::max()))
            throw DataPacketError(QStringLiteral("Pacote de dados grande demais."));
        return readDataPacket(QByteArray::fromRawData(data, qsizetype(size)), QStringLiteral("(memória)"));
    } catch (const DataPacketError &e) {
        if (error)
            *error = e.message();
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
    }
    return std::nullopt;
}

QByteArray writeBinaryPacket(const DataPacket &packet)
{
    if (packet.fields.size() > 65535)
        writeFail(QStringLiteral("campos demais."));
    BinaryWriter w;
    w.put(kMagic, 4);
    w.put(1, 2);
    w.put(0, 2);
    w.put(24, 4);
    w.put(packet.fields.size(), 2);
    w.put(packet.rows.size(), 4);
    w.put(3, 4);
    w.put(0, 2);  // offset of the first record, filled below
    std::vector<quint16> sizes(packet.fields.size());
    for (size_t f = 0; f < packet.fields.size(); ++f) {
        const PacketField &field = packet.fields[f];
        const QByteArray name = platform::toWindows1252(field.name);
        if (name.isEmpty() || name.size() > 255)
            writeFail(QStringLiteral("nome de campo inválido \"") + field.name + QStringLiteral("\"."));
        quint16 type = 0;
        binaryLayout(packet, f, sizes[f], type);
        std::vector<PacketProperty> properties;
        if (field.width > 0) {
            if (field.width > 65535)
                writeFail(QStringLiteral("largura inválida no campo \"") + field.name + QStringLiteral("\"."));
            properties.push_back(numberProperty(QStringLiteral("WIDTH"), 2, CodeUInt, quint64(field.width)));
        }
        QString subtype = field.subtype;
        if (subtype.isEmpty() && field.type == PacketFieldType::Memo)
            subtype = QStringLiteral("Text");
        else if (subtype.isEmpty() && field.type == PacketFieldType::WideMemo)
            subtype = QStringLiteral("WideText");
        else if (subtype.isEmpty() && field.type == PacketFieldType::Blob)
            subtype = QStringLiteral("Binary");
        if (!subtype.isEmpty())
            properties.push_back(stringProperty(QStringLiteral("SUBTYPE"), subtype));
        for (const PacketProperty &p : field.properties) {
            if (p.name.compare(QStringLiteral("WIDTH"), Qt::CaseInsensitive) && p.name.compare(QStringLiteral("SUBTYPE"), Qt::CaseInsensitive))
                properties.push_back(p);
        }
        if (properties.size() > 65535)
            writeFail(QStringLiteral("propriedades demais."));
        w.put(quint64(name.size()), 1);
        w.out.append(name);
        w.put(sizes[f], 2);
        w.put(type, 2);
        w.put(field.attributes, 2);
        w.put(properties.size(), 2);
        for (const PacketProperty &p : properties)
            putProperty(w, p);
    }
    if (packet.properties.size() > 65535)
        writeFail(QStringLiteral("propriedades demais."));
    w.put(packet.properties.size(), 2);
    for (const PacketProperty &p : packet.properties)
        putProperty(w, p);
    if (w.out.size() > 65535)
        writeFail(QStringLiteral("metadados maiores que 65535 bytes."));
    const quint16 first = quint16(w.out.size());
    w.out[22] = char(first & 0xFF);
    w.out[23] = char(first >> 8);

    const size_t bitmapSize = (packet.fields.size() + 3) / 4;
    for (const PacketRow &row : packet.rows) {
        if (size_t(row.values.size()) > packet.fields.size())
            writeFail(QStringLiteral("registro com mais valores que campos."));
        w.put(row.state, 1);
        QByteArray bitmap(qsizetype(bitmapSize), '\0');
        for (size_t f = 0; f < packet.fields.size(); ++f) {
            const QVariant v = row.values.value(qsizetype(f));
            if (!v.isValid() || v.isNull())
                bitmap[qsizetype(f / 4)] = char(quint8(bitmap[qsizetype(f / 4)]) | (1 << ((f % 4) * 2)));
        }
        w.out.append(bitmap);
        for (size_t f = 0; f < packet.fields.size(); ++f) {
            const QVariant v = row.values.value(qsizetype(f));
            if (v.isValid() && !v.isNull())
                putValue(w, packet.fields[f], sizes[f], v);
        }
    }
    return w.out;
}

QByteArray writeXmlPacket(const DataPacket &packet)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeStartElement(QStringLiteral("DATAPACKET"));
    xml.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
    xml.writeStartElement(QStringLiteral("METADATA"));
    xml.writeStartElement(QStringLiteral("FIELDS"));
    QStringList attrNames;
    const auto checkText = [](const QString &text, const QString &where) {
        if (!xmlSafe(text))
            writeFail(where + QStringLiteral(" tem caracteres de controle que o XML não representa."));
    };
    for (const PacketField &field : packet.fields) {
        // A name that is not a valid XML attribute name travels in "fieldname".
        QString attrName;
        for (qsizetype i = 0; i < field.name.size(); ++i) {
            const QChar c = field.name[i];
            const bool ok = c.isLetter() || c == QLatin1Char('_') || (i > 0 && (c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-')));
            attrName += ok ? c : QLatin1Char('_');
        }
        checkText(field.name, QStringLiteral("O nome do campo"));
        attrNames.append(attrName);
        xml.writeStartElement(QStringLiteral("FIELD"));
        if (attrName != field.name)
            xml.writeAttribute(QStringLiteral("fieldname"), field.name);
        xml.writeAttribute(QStringLiteral("attrname"), attrName);
        xml.writeAttribute(QStringLiteral("fieldtype"), xmlFieldTypeName(field.type));
        if (field.attributes & kFieldRequired)
            xml.writeAttribute(QStringLiteral("required"), QStringLiteral("true"));
        if (field.attributes & kFieldReadOnly)
            xml.writeAttribute(QStringLiteral("readonly"), QStringLiteral("true"));
        if (field.attributes & kFieldHidden)
            xml.writeAttribute(QStringLiteral("hidden"), QStringLiteral("true"));
        if (field.attributes & kFieldLink)
            xml.writeAttribute(QStringLiteral("linkfield"), QStringLiteral("true"));
        QString subtype = field.subtype;
        if (subtype.isEmpty() && field.type == PacketFieldType::Memo)
            subtype = QStringLiteral("Text");
        else if (subtype.isEmpty() && field.type == PacketFieldType::WideMemo)
            subtype = QStringLiteral("WideText");
        else if (subtype.isEmpty() && field.type == PacketFieldType::Blob)
            subtype = QStringLiteral("Binary");
        if (!subtype.isEmpty())
            xml.writeAttribute(QStringLiteral("SUBTYPE"), subtype);
        if (field.width > 0)
            xml.writeAttribute(QStringLiteral("WIDTH"), QString::number(field.width));
        for (const PacketProperty &p : field.properties)
            xml.writeAttribute(p.name, p.text());
        xml.writeEndElement();
    }
    xml.writeEndElement();  // FIELDS
    xml.writeStartElement(QStringLiteral("PARAMS"));
    for (const PacketProperty &p : packet.properties) {
        checkText(p.text(), QStringLiteral("A propriedade \"") + p.name + QLatin1Char('"'));
        xml.writeAttribute(p.name, p.text());
    }
    xml.writeEndElement();  // PARAMS
    xml.writeEndElement();  // METADATA
    xml.writeStartElement(QStringLiteral("ROWDATA"));
    for (const PacketRow &row : packet.rows) {
        xml.writeStartElement(QStringLiteral("ROW"));
        if (row.state != 0)
            xml.writeAttribute(QStringLiteral("RowState"), QString::number(row.state));
        for (size_t f = 0; f < packet.fields.size(); ++f) {
            const QVariant v = row.values.value(qsizetype(f));
            if (!v.isValid() || v.isNull())
                continue;
            const QString text = packetValueText(packet.fields[f], v);
            if (isTextType(packet.fields[f].type))
                checkText(text, QStringLiteral("O valor do campo \"") + packet.fields[f].name + QLatin1Char('"'));
            xml.writeAttribute(attrNames[qsizetype(f)], text);
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();  // ROWDATA
    xml.writeEndElement();  // DATAPACKET
    xml.writeEndDocument();
    if (xml.hasError())
        writeFail(QStringLiteral("erro ao gerar o XML."));
    return out;
}

QString xmlFieldTypeName(PacketFieldType type)
{
    switch (type) {
    case PacketFieldType::Int8: return QStringLiteral("i1");
    case PacketFieldType::Int16: return QStringLiteral("i2");
    case PacketFieldType::Int32: return QStringLiteral("i4");
    case PacketFieldType::Int64: return QStringLiteral("i8");
    case PacketFieldType::UInt8: return QStringLiteral("ui1");
    case PacketFieldType::UInt16: return QStringLiteral("ui2");
    case PacketFieldType::UInt32: return QStringLiteral("ui4");
    case PacketFieldType::Boolean: return QStringLiteral("boolean");
    case PacketFieldType::Float: return QStringLiteral("r8");
    case PacketFieldType::Date: return QStringLiteral("date");
    case PacketFieldType::Time: return QStringLiteral("time");
    case PacketFieldType::DateTime: return QStringLiteral("dateTime");
    case PacketFieldType::String: return QStringLiteral("string");
    case PacketFieldType::WideString: return QStringLiteral("string.uni");
    case PacketFieldType::Memo:
    case PacketFieldType::WideMemo:
    case PacketFieldType::Blob: return QStringLiteral("bin.hex");
    }
    return {};
}

namespace {

ResultTable subset(const ResultTable &table, const std::function<bool(const QVariant &)> &keep, int column)
{
    std::vector<QVariantList> rows;
    for (const QVariantList &row : table.rows()) {
        if (keep(row.value(column)))
            rows.push_back(row);
    }
    return ResultTable(table.columns(), std::move(rows));
}

int requireColumn(const ResultTable &table, const QString &column)
{
    const int index = table.columnIndex(column);
    if (index < 0)
        throw DbError(QStringLiteral("Campo \"") + column + QStringLiteral("\" não encontrado no resultado da consulta."));
    return index;
}

bool numeric(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::UInt: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Bool: return true;
    default: return false;
    }
}

}  // namespace

ResultTable orderedBy(const ResultTable &table, const QString &column)
{
    const int index = requireColumn(table, column);
    std::vector<QVariantList> rows = table.rows();
    std::stable_sort(rows.begin(), rows.end(), [index](const QVariantList &a, const QVariantList &b) {
        const QVariant &x = a.at(index);
        const QVariant &y = b.at(index);
        const bool xNull = !x.isValid() || x.isNull();
        const bool yNull = !y.isValid() || y.isNull();
        if (xNull || yNull)
            return xNull && !yNull;  // NULLs first
        if (numeric(x) && numeric(y))
            return x.toDouble() < y.toDouble();
        return ResultTable::toText(x) < ResultTable::toText(y);
    });
    return ResultTable(table.columns(), std::move(rows));
}

ResultTable filteredGreater(const ResultTable &table, const QString &column, qint64 value)
{
    return subset(table, [value](const QVariant &v) { return ResultTable::toInteger(v) > value; }, requireColumn(table, column));
}

ResultTable filteredEqual(const ResultTable &table, const QString &column, const QString &text)
{
    return subset(table, [&text](const QVariant &v) { return ResultTable::toText(v) == text; }, requireColumn(table, column));
}

}  // namespace tivra
