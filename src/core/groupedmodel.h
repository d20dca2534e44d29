// A flat, grouped presentation of a table: one header row per group, groups in ascending order
// of their text (the empty group first), the rows of each group in source order below it.
//
// Grids of the product show their rows grouped (the status log by stage, the checks list by
// check). Groups can be collapsed; "expand every group" costs one step per group, not per row,
// and appending a source row costs a step per group, so a long run stays as fast at its end as
// at its start.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <map>
#include <vector>

namespace tivra {

class GroupedModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { IsGroupHeaderRole = Qt::UserRole + 100, GroupTextRole, SourceRowRole, GroupExpandedRole };

    // groupColumn: the source column whose text is the group. Columns of this model are the
    // source's columns.
    GroupedModel(QAbstractItemModel *source, int groupColumn, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    bool isGroupHeader(int row) const;
    // The source row shown at a flat row (-1 for a group header).
    int sourceRow(int row) const;
    // The flat row of a source row (-1 when its group is collapsed or the row is unknown).
    int rowOfSource(int sourceRow) const;
    QString groupText(int row) const;

    void setExpanded(const QString &group, bool expanded);
    void expandAll();
    void collapseAll();
    bool isExpanded(const QString &group) const;
    QStringList groups() const;

private:
    struct Group {
        std::vector<int> rows;  // source rows, ascending
        bool expanded = true;
        int flatSize() const { return 1 + (expanded ? int(rows.size()) : 0); }
    };
    using GroupMap = std::map<QString, Group>;

    int flatStart(GroupMap::const_iterator it) const;
    bool locate(int row, GroupMap::const_iterator *group, int *offset) const;
    void rebuild();
    void onRowsInserted(const QModelIndex &parent, int first, int last);
    void onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);
    QString sourceGroup(int sourceRow) const;

    QPointer<QAbstractItemModel> m_source;
    int m_groupColumn;
    GroupMap m_groups;
    std::vector<const QString *> m_groupOfRow;  // group key of each source row
};

}  // namespace tivra
