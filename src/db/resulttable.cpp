#include "db/resulttable.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>

namespace tivra {

ResultTable::ResultTable(QStringList columns, std::vector<QVariantList> rows)
    : m_columns(std::move(columns)), m_rows(std::move(rows))
{
    for (QVariantList &row : m_rows) {
        while (row.size() < m_columns.size())
            row.append(QVariant());
    }
}

int ResultTable::columnIndex(const QString &name) const
{
    // Callers nearly always spell the name as the result does: an exact match is looked for
    // first, at the cost of a memory comparison per column, before the comparison without case.
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i) == name)
            return int(i);
    }
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const QVariant &ResultTable::cell(int row, const QString &column) const
{
    const int index = columnIndex(column);
    if (index < 0)
        throw DbError(QStringLiteral("Campo \"") + column + QStringLiteral("\" não encontrado no resultado da consulta."));
    if (row < 0 || row >= count())
        throw DbError(QStringLiteral("Não há registro corrente para ler o campo \"") + column + QStringLiteral("\"."));
    return m_rows[size_t(row)].at(index);
}

QVariant ResultTable::value(int row, const QString &column) const
{
    return cell(row, column);
}

QString ResultTable::text(int row, const QString &column) const
{
    return toText(cell(row, column));
}

qint64 ResultTable::integer(int row, const QString &column) const
{
    return toInteger(cell(row, column));
}

bool ResultTable::isNull(int row, const QString &column) const
{
    const QVariant &v = cell(row, column);
    return !v.isValid() || v.isNull();
}

QString ResultTable::toText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime: return value.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    default: return value.toString();
    }
}

qint64 ResultTable::toInteger(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? 1 : 0;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        return std::isfinite(d) ? qint64(std::llround(d)) : 0;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (ok)
            return n;
        const double d = text.toDouble(&ok);
        return ok && std::isfinite(d) ? qint64(std::llround(d)) : 0;
    }
    default: {
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        return ok ? n : 0;
    }
    }
}

}  // namespace tivra
