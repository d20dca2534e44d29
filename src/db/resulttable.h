// Result tables: the complete result of one query copied into memory and detached from the
// connection that produced it: named columns, the rows in the order the database returned them,
// and a cursor for first/next navigation. Reading a column gives its value as text or integer; a
// NULL reads as empty text or 0; a column that the query did not return is an error (DbError).
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>
#include <vector>

namespace tivra {

// An error that ends the calling operation: a column that a result does not have, a result that
// a failed read did not produce. what() holds the message in UTF-8.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

class ResultTable {
public:
    ResultTable() = default;
    // Column names and rows (each row one value per column; an invalid or null QVariant is NULL).
    ResultTable(QStringList columns, std::vector<QVariantList> rows);

    const QStringList &columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }
    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    // Index of a column by name, without regard to case; -1 when the result has no such column.
    int columnIndex(const QString &name) const;
    bool hasColumn(const QString &name) const { return columnIndex(name) >= 0; }

    // Cursor: starts on the first row.
    void first() { m_pos = 0; }
    void next()
    {
        if (m_pos < count())
            ++m_pos;
    }
    bool eof() const { return m_pos >= count(); }
    int position() const { return m_pos; }
    void setPosition(int row) { m_pos = row; }

    // Values of the current row. Throw DbError for a missing column or when the cursor is past
    // the last row.
    QVariant value(const QString &column) const { return value(m_pos, column); }
    QString text(const QString &column) const { return text(m_pos, column); }
    qint64 integer(const QString &column) const { return integer(m_pos, column); }
    bool isNull(const QString &column) const { return isNull(m_pos, column); }

    // Values of a given row.
    QVariant value(int row, const QString &column) const;
    QString text(int row, const QString &column) const;
    qint64 integer(int row, const QString &column) const;
    bool isNull(int row, const QString &column) const;

    const std::vector<QVariantList> &rows() const { return m_rows; }

    // How a stored value reads as text and as integer (NULL: empty text, 0).
    static QString toText(const QVariant &value);
    static qint64 toInteger(const QVariant &value);

private:
    const QVariant &cell(int row, const QString &column) const;

    QStringList m_columns;
    std::vector<QVariantList> m_rows;
    int m_pos = 0;
};

}  // namespace tivra
