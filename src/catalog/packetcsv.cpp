#include "catalog/packetcsv.h"

#include <QStringList>

namespace tivra {

namespace {

[[noreturn]] void csvFail(int line, const QString &what)
{
    throw DataPacketError(QStringLiteral("CSV inválido na linha ") + QString::number(line) + QStringLiteral(": ") + what);
}

struct Cell {
    QString text;
    bool quoted = false;
};

// Splits the text into records of cells; each record remembers the line it starts on.
std::vector<std::pair<int, std::vector<Cell>>> parseCsv(const QString &text)
{
    std::vector<std::pair<int, std::vector<Cell>>> records;
    std::vector<Cell> record;
    Cell cell;
    int line = 1;
    int recordLine = 1;
    bool inQuotes = false;
    bool any = false;
    const auto endCell = [&]() {
        record.push_back(cell);
        cell = Cell();
    };
    const auto endRecord = [&]() {
        if (any || !record.empty())
            endCell();
        // A comment line or a blank line makes no record.
        const bool blank = record.size() == 1 && !record[0].quoted && record[0].text.isEmpty();
        const bool comment = !record.empty() && !record[0].quoted && record[0].text.startsWith(QLatin1Char('#'));
        if (!record.empty() && !blank && !comment)
            records.emplace_back(recordLine, std::move(record));
        record.clear();
        cell = Cell();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    cell.text += QLatin1Char('"');
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                cell.text += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && cell.text.isEmpty() && !cell.quoted) {
            inQuotes = true;
            cell.quoted = true;
            any = true;
        } else if (c == QLatin1Char(',')) {
            endCell();
            any = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endRecord();
            ++line;
            recordLine = line;
        } else {
            if (cell.quoted)
                csvFail(line, QStringLiteral("texto após as aspas de fechamento."));
            cell.text += c;
            any = true;
        }
    }
    if (inQuotes)
        csvFail(line, QStringLiteral("aspas não fechadas."));
    endRecord();
    return records;
}

QString csvQuoted(const QString &text)
{
    QString copy = text;
    copy.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + copy + QLatin1Char('"');
}

}  // namespace

DataPacket packetFromCsv(const QString &text)
{
    const auto records = parseCsv(text);
    if (records.empty())
        csvFail(1, QStringLiteral("falta a linha de cabeçalho."));
    DataPacket packet;
    int stateColumn = -1;
    std::vector<int> fieldOfColumn;
    const int headerLine = records[0].first;
    for (const Cell &cell : records[0].second) {
        const QStringList parts = cell.text.split(QLatin1Char(':'));
        if (parts.value(0).trimmed() == QLatin1String("@RowState")) {
            stateColumn = int(fieldOfColumn.size());
            fieldOfColumn.push_back(-1);
            continue;
        }
        if (parts.size() < 2 || parts.size() > 3 || parts[0].trimmed().isEmpty())
            csvFail(headerLine, QStringLiteral("cabeçalho \"") + cell.text + QStringLiteral("\" não é NOME:TIPO ou NOME:TIPO:LARGURA."));
        PacketField field;
        field.name = parts[0].trimmed();
        const QString type = parts[1].trimmed();
        if (type == QLatin1String("memo")) {
            field.type = PacketFieldType::Memo;
            field.subtype = QStringLiteral("Text");
        } else if (type == QLatin1String("widememo")) {
            field.type = PacketFieldType::WideMemo;
            field.subtype = QStringLiteral("WideText");
        } else if (type == QLatin1String("blob")) {
            field.type = PacketFieldType::Blob;
            field.subtype = QStringLiteral("Binary");
        } else if (type == QLatin1String("bin.hex") || !packetFieldTypeFromXml(type, QString(), field.type)) {
            csvFail(headerLine, QStringLiteral("tipo desconhecido \"") + type + QStringLiteral("\" no campo \"") + field.name + QStringLiteral("\"."));
        }
        if (parts.size() == 3) {
            bool ok = false;
            field.width = parts[2].trimmed().toInt(&ok);
            if (!ok || field.width <= 0 || field.width > 65535)
                csvFail(headerLine, QStringLiteral("largura inválida no campo \"") + field.name + QStringLiteral("\"."));
        }
        if (packet.fieldIndex(field.name) >= 0)
            csvFail(headerLine, QStringLiteral("campo \"") + field.name + QStringLiteral("\" repetido."));
        fieldOfColumn.push_back(int(packet.fields.size()));
        packet.fields.push_back(field);
    }
    for (size_t r = 1; r < records.size(); ++r) {
        const auto &[line, cells] = records[r];
        if (cells.size() != fieldOfColumn.size())
            csvFail(line, QStringLiteral("a linha tem ") + QString::number(cells.size()) + QStringLiteral(" colunas, o cabeçalho ") +
                              QString::number(fieldOfColumn.size()) + QLatin1Char('.'));
        PacketRow row;
        for (size_t f = 0; f < packet.fields.size(); ++f)
            row.values.append(QVariant());
        for (size_t c = 0; c < cells.size(); ++c) {
            const Cell &cell = cells[c];
            if (int(c) == stateColumn) {
                bool ok = false;
                const uint state = cell.text.trimmed().toUInt(&ok);
                if (!cell.text.trimmed().isEmpty() && (!ok || state > 255))
                    csvFail(line, QStringLiteral("RowState inválido \"") + cell.text + QStringLiteral("\"."));
                row.state = quint8(state);
                continue;
            }
            if (cell.text.isEmpty() && !cell.quoted)
                continue;  // NULL
            const PacketField &field = packet.fields[size_t(fieldOfColumn[c])];
            bool ok = false;
            QVariant value = packetValueFromText(field, cell.text, ok);
            if (!ok)
                csvFail(line, QStringLiteral("valor inválido \"") + cell.text.left(60) + QStringLiteral("\" para o campo \"") + field.name +
                                  QStringLiteral("\" (") + xmlFieldTypeName(field.type) + QStringLiteral(")."));
            row.values[fieldOfColumn[c]] = std::move(value);
        }
        packet.rows.push_back(std::move(row));
    }
    return packet;
}

QString packetToCsv(const DataPacket &packet)
{
    const bool states = std::any_of(packet.rows.begin(), packet.rows.end(), [](const PacketRow &r) { return r.state != 0; });
    QStringList header;
    if (states)
        header.append(QStringLiteral("@RowState"));
    for (const PacketField &field : packet.fields) {
        QString type = xmlFieldTypeName(field.type);
        if (field.type == PacketFieldType::Memo)
            type = QStringLiteral("memo");
        else if (field.type == PacketFieldType::WideMemo)
            type = QStringLiteral("widememo");
        else if (field.type == PacketFieldType::Blob)
            type = QStringLiteral("blob");
        QString cell = field.name + QLatin1Char(':') + type;
        if (field.width > 0)
            cell += QLatin1Char(':') + QString::number(field.width);
        header.append(cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ? csvQuoted(cell) : cell);
    }
    QString out = header.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const PacketRow &row : packet.rows) {
        QStringList cells;
        if (states)
            cells.append(QString::number(row.state));
        for (size_t f = 0; f < packet.fields.size(); ++f) {
            const QVariant v = row.values.value(qsizetype(f));
            cells.append(!v.isValid() || v.isNull() ? QString() : csvQuoted(packetValueText(packet.fields[f], v)));
        }
        out += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

}  // namespace tivra
