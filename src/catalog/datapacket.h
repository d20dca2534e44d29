// Data packets: the client-dataset files (*.cds) of the catalog archive and of the package root.
// A packet is a self-describing table: named, typed fields, packet properties, and rows in stored
// order, each with a row state and one value or NULL per field.
//
// Two encodings carry the same model: a binary one (first bytes 96 19 E0 BD) and an XML one
// (first byte "<"). readDataPacket picks the encoding from the first bytes; writeBinaryPacket and
// writeXmlPacket produce either encoding. Reading checks every length against the bytes that are
// there: a truncated, inconsistent or unknown-type file is a DataPacketError that names the file
// and the offset (the line and column for XML), never a crash or a silently short table.
//
// The importers see a packet as a ResultTable (the form query results take): the visible rows
// only, NULL read as 0 or empty text, asking for a missing field an error.
//
// Values: integers as qint64, booleans as bool, floats as double, dates as QDate, times as QTime,
// timestamps as QDateTime, texts and memos as QString, blobs as QByteArray; NULL as an invalid
// QVariant.
#pragma once

#include "db/resulttable.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tivra {

class DataPacketError : public std::runtime_error {
public:
    explicit DataPacketError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

enum class PacketFieldType {
    Int8, Int16, Int32, Int64,
    UInt8, UInt16, UInt32,
    Boolean,
    Float,      // 8-byte IEEE double (SUBTYPE "Money" for currency)
    Date,       // day
    Time,       // time of day, milliseconds
    DateTime,   // timestamp
    String,     // ANSI text (Windows-1252)
    WideString, // UTF-16 text
    Memo,       // long ANSI text (blob with SUBTYPE "Text")
    WideMemo,   // long UTF-16 text (blob with SUBTYPE "WideText")
    Blob,       // raw bytes (SUBTYPE "Binary", "Graphics", ...)
};

// Field attribute bits.
inline constexpr quint16 kFieldHidden = 1;
inline constexpr quint16 kFieldReadOnly = 2;
inline constexpr quint16 kFieldRequired = 4;
inline constexpr quint16 kFieldLink = 8;

// A field or packet property as the binary form stores it: its name, element size, type word and
// the value bytes (for arrays the elements only, without the count; for variable values the data
// only, without the length prefix).
struct PacketProperty {
    QString name;
    quint16 size = 0;
    quint16 type = 0;
    QByteArray value;

    // The value as text: numbers in decimal, arrays as numbers joined by blanks, strings without
    // their trailing NUL.
    QString text() const;
    // A property from its text, typed by its name: LCID an i32, DEFAULT_ORDER / PRIMARY_KEY arrays
    // of u16, CHANGE_LOG an array of u32, anything else a string.
    static PacketProperty fromText(const QString &name, const QString &text);
};

struct PacketField {
    QString name;
    PacketFieldType type = PacketFieldType::String;
    int width = 0;        // declared width of texts (characters), 0 when not given
    QString subtype;      // SUBTYPE: "Text", "Binary", "Money", "Autoinc", ...
    quint16 attributes = 0;
    // Other field properties, kept as read (WIDTH and SUBTYPE are held above).
    std::vector<PacketProperty> properties;
};

struct PacketRow {
    quint8 state = 0;      // 0 unmodified; 1 original, 2 deleted, 4 inserted, 8 modified, 0x20 unused, 0x40 detail
    QVariantList values;   // one per field; invalid QVariant = NULL
};

class DataPacket {
public:
    std::vector<PacketField> fields;
    std::vector<PacketProperty> properties;  // packet properties, unknown ones kept
    std::vector<PacketRow> rows;             // every stored row, whatever its state

    static bool visibleState(quint8 state) { return (state & 0x23) == 0; }
    int fieldIndex(const QString &name) const;  // case-insensitive, -1 when absent
    const PacketProperty *property(const QString &name) const;

    // The visible rows as a result table (columns in field order).
    ResultTable table() const;
    int visibleCount() const;
};

// Reads either encoding, chosen by the first bytes. `source` names the file in error messages.
// Throws DataPacketError.
DataPacket readDataPacket(const QByteArray &bytes, const QString &source);
// Reads a file (the whole file into memory first). Throws DataPacketError (also when the file
// cannot be read).
DataPacket readDataPacketFile(const QString &path);

// The entry point for fuzzing and other untrusted callers: never throws; the error text when the
// bytes are not a valid packet.
std::optional<DataPacket> parseDataPacket(const char *data, std::size_t size, QString *error = nullptr);

// Writers. Both throw DataPacketError for a packet they cannot represent (a value that does not
// fit its field, a name too long, ...).
QByteArray writeBinaryPacket(const DataPacket &packet);
QByteArray writeXmlPacket(const DataPacket &packet);

// The XML form's name of a field type ("i4", "string", "bin.hex", ...), and back (false when the
// name is unknown). Memo and blob types share "bin.hex" and differ by SUBTYPE.
QString xmlFieldTypeName(PacketFieldType type);

// A field's value in the XML form's notation (integers in decimal, booleans TRUE/FALSE, dates
// yyyymmdd, times hh:nn:sszzz, timestamps yyyymmddThh:nn:sszzz or yyyymmdd, blobs in Base64, texts
// as they are), and back; ok is false for a text that is not a value of the field's type.
QString packetValueText(const PacketField &field, const QVariant &value);
QVariant packetValueFromText(const PacketField &field, const QString &text, bool &ok);
// The field type of an XML type name and SUBTYPE; false when the name is unknown.
bool packetFieldTypeFromXml(const QString &name, const QString &subtype, PacketFieldType &type);

// Ordering and filtering of loaded packets (and of any result table). The result is a new table
// with the same columns; the order is stable. Throw DbError for a missing column.
ResultTable orderedBy(const ResultTable &table, const QString &column);              // by integer value
ResultTable filteredGreater(const ResultTable &table, const QString &column, qint64 value);
ResultTable filteredEqual(const ResultTable &table, const QString &column, const QString &text);

}  // namespace tivra
