#include "core/memtable.h"

#include <stdexcept>

namespace tivra {

MemTable::MemTable(QString name, std::vector<Field> fields, QObject *parent)
    : QAbstractTableModel(parent), m_name(std::move(name)), m_fields(std::move(fields)),
      m_editable(m_fields.size(), false)
{
}

int MemTable::fieldIndex(const QString &name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int MemTable::requireField(const QString &name) const
{
    const int column = fieldIndex(name);
    if (column < 0)
        throw std::invalid_argument(QString(QStringLiteral("field ") + name + QStringLiteral(" not found in ") + m_name).toStdString());
    return column;
}

void MemTable::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QVariant MemTable::stored(int column, const QVariant &value) const
{
    const Field &field = m_fields[size_t(column)];
    if (value.isNull() || !value.isValid())
        return {};
    switch (field.type) {
    case Type::Text:
        return field.width > 0 ? QVariant(value.toString().left(field.width)) : QVariant(value.toString());
    case Type::Memo: return value.toString();
    case Type::Integer:
    case Type::AutoInc: return value.toLongLong();
    case Type::Float: return value.toDouble();
    case Type::DateTime: return value;
    }
    return value;
}

int MemTable::append(const QVariantMap &values)
{
    QVariantList row;
    row.reserve(qsizetype(m_fields.size()));
    for (size_t i = 0; i < m_fields.size(); ++i)
        row.append(m_fields[i].type == Type::AutoInc ? QVariant(m_nextAutoInc++) : QVariant());
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const int column = requireField(it.key());
        row[column] = stored(column, it.value());
    }
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return at;
}

void MemTable::setValue(int row, const QString &field, const QVariant &value)
{
    const int column = requireField(field);
    if (row < 0 || row >= count())
        throw std::out_of_range(QString(QStringLiteral("row out of range in ") + m_name).toStdString());
    m_rows[size_t(row)][column] = stored(column, value);
    const QModelIndex changed = index(row, column);
    Q_EMIT dataChanged(changed, changed);
}

QVariant MemTable::value(int row, const QString &field) const
{
    const int column = requireField(field);
    if (row < 0 || row >= count())
        throw std::out_of_range(QString(QStringLiteral("row out of range in ") + m_name).toStdString());
    return m_rows[size_t(row)][column];
}

QString MemTable::text(int row, const QString &field) const
{
    return value(row, field).toString();
}

qint64 MemTable::integer(int row, const QString &field) const
{
    return value(row, field).toLongLong();
}

bool MemTable::isNull(int row, const QString &field) const
{
    return value(row, field).isNull();
}

void MemTable::removeRow(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

int MemTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MemTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant MemTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= int(m_fields.size()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_rows[size_t(index.row())][index.column()];
    return {};
}

bool MemTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_editable[size_t(index.column())])
        return false;
    m_rows[size_t(index.row())][index.column()] = stored(index.column(), value);
    Q_EMIT dataChanged(index, index);
    Q_EMIT edited(index.row(), m_fields[size_t(index.column())].name);
    return true;
}

Qt::ItemFlags MemTable::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && m_editable[size_t(index.column())])
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant MemTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(m_fields.size())) {
        if (section < m_titles.size() && !m_titles[section].isEmpty())
            return m_titles[section];
        return m_fields[size_t(section)].name;
    }
    return {};
}

void MemTable::setEditableFields(const QStringList &names)
{
    std::fill(m_editable.begin(), m_editable.end(), false);
    for (const QString &name : names) {
        const int column = fieldIndex(name);
        if (column >= 0)
            m_editable[size_t(column)] = true;
    }
}

}  // namespace tivra

namespace tivra {

void MemTable::setHeaderTitles(const QMap<QString, QString> &titles)
{
    m_titles = QStringList();
    for (const Field &field : m_fields)
        m_titles.append(titles.value(field.name));
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(m_fields.size()) - 1);
}

}  // namespace tivra
