// An in-memory table with named fields (the product's cds... tables): ordered rows, one value per
// field, an optional auto-increment field, text fields cut to their width when stored. It is a
// Qt table model, so grids can show it directly.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tivra {

class MemTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Type { Text, Integer, AutoInc, Float, DateTime, Memo };
    struct Field {
        QString name;
        Type type = Type::Text;
        int width = 0;  // text fields: maximum characters stored (0: unlimited)
    };

    MemTable(QString name, std::vector<Field> fields, QObject *parent = nullptr);

    const QString &name() const { return m_name; }
    const std::vector<Field> &fields() const { return m_fields; }
    // Index of a field by name (case-insensitive), -1 when absent.
    int fieldIndex(const QString &name) const;

    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    void clear();

    // Appends a row; values given by field name, the others NULL. Returns its index.
    int append(const QVariantMap &values = {});
    void setValue(int row, const QString &field, const QVariant &value);
    // NULL reads as empty text or 0 depending on the accessor.
    QVariant value(int row, const QString &field) const;
    QString text(int row, const QString &field) const;
    qint64 integer(int row, const QString &field) const;
    bool isNull(int row, const QString &field) const;
    void removeRow(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Columns that the user may edit in a grid (all others are read-only).
    void setEditableFields(const QStringList &names);
    // Titles shown by grids instead of the field names.
    void setHeaderTitles(const QMap<QString, QString> &titles);

Q_SIGNALS:
    // A value was edited through the model (a grid), not by setValue.
    void edited(int row, const QString &field);

private:
    QVariant stored(int column, const QVariant &value) const;
    int requireField(const QString &name) const;

    QString m_name;
    std::vector<Field> m_fields;
    std::vector<QVariantList> m_rows;
    std::vector<bool> m_editable;
    QStringList m_titles;
    qint64 m_nextAutoInc = 1;
};

}  // namespace tivra
