#include "core/groupedmodel.h"

#include <algorithm>

namespace tivra {

GroupedModel::GroupedModel(QAbstractItemModel *source, int groupColumn, QObject *parent)
    : QAbstractTableModel(parent), m_source(source), m_groupColumn(groupColumn)
{
    connect(source, &QAbstractItemModel::rowsInserted, this, &GroupedModel::onRowsInserted);
    connect(source, &QAbstractItemModel::dataChanged, this, &GroupedModel::onDataChanged);
    // Anything else that reshapes the source is rare (filters, clearing): rebuild.
    const auto reset = [this] {
        beginResetModel();
        rebuild();
        endResetModel();
    };
    connect(source, &QAbstractItemModel::modelReset, this, reset);
    connect(source, &QAbstractItemModel::rowsRemoved, this, reset);
    connect(source, &QAbstractItemModel::rowsMoved, this, reset);
    connect(source, &QAbstractItemModel::layoutChanged, this, reset);
    rebuild();
}

QString GroupedModel::sourceGroup(int sourceRow) const
{
    return m_source->index(sourceRow, m_groupColumn).data(Qt::DisplayRole).toString();
}

void GroupedModel::rebuild()
{
    // Keep the expanded state of groups that survive.
    std::map<QString, bool> expanded;
    for (const auto &[text, group] : m_groups)
        expanded[text] = group.expanded;
    m_groups.clear();
    m_groupOfRow.clear();
    if (!m_source)
        return;
    const int count = m_source->rowCount();
    m_groupOfRow.reserve(size_t(count));
    for (int r = 0; r < count; ++r) {
        auto [it, inserted] = m_groups.try_emplace(sourceGroup(r));
        if (inserted) {
            const auto e = expanded.find(it->first);
            it->second.expanded = e == expanded.end() || e->second;
        }
        it->second.rows.push_back(r);
        m_groupOfRow.push_back(&it->first);
    }
}

int GroupedModel::flatStart(GroupMap::const_iterator target) const
{
    int start = 0;
    for (auto it = m_groups.cbegin(); it != target; ++it)
        start += it->second.flatSize();
    return start;
}

bool GroupedModel::locate(int row, GroupMap::const_iterator *group, int *offset) const
{
    if (row < 0)
        return false;
    int start = 0;
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
        const int size = it->second.flatSize();
        if (row < start + size) {
            *group = it;
            *offset = row - start;  // 0 is the header
            return true;
        }
        start += size;
    }
    return false;
}

void GroupedModel::onRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (first != int(m_groupOfRow.size())) {
        // Rows inserted in the middle of the source shift every later row: rebuild.
        beginResetModel();
        rebuild();
        endResetModel();
        return;
    }
    for (int r = first; r <= last; ++r) {
        const QString text = sourceGroup(r);
        auto it = m_groups.find(text);
        if (it == m_groups.end()) {
            // New group: header and row appear together.
            auto next = m_groups.lower_bound(text);
            const int start = flatStart(next);
            beginInsertRows({}, start, start + 1);
            it = m_groups.try_emplace(next, text);
            it->second.rows.push_back(r);
            m_groupOfRow.push_back(&it->first);
            endInsertRows();
            continue;
        }
        if (!it->second.expanded) {
            it->second.rows.push_back(r);
            m_groupOfRow.push_back(&it->first);
            continue;
        }
        const int at = flatStart(it) + 1 + int(it->second.rows.size());
        beginInsertRows({}, at, at);
        it->second.rows.push_back(r);
        m_groupOfRow.push_back(&it->first);
        endInsertRows();
    }
}

void GroupedModel::onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    for (int r = topLeft.row(); r <= bottomRight.row(); ++r) {
        if (r < 0 || size_t(r) >= m_groupOfRow.size())
            continue;
        if (*m_groupOfRow[size_t(r)] != sourceGroup(r)) {
            beginResetModel();
            rebuild();
            endResetModel();
            return;
        }
        const int flat = rowOfSource(r);
        if (flat >= 0)
            Q_EMIT dataChanged(index(flat, topLeft.column()), index(flat, bottomRight.column()), roles);
    }
}

int GroupedModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    int count = 0;
    for (const auto &entry : m_groups)
        count += entry.second.flatSize();
    return count;
}

int GroupedModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_source ? 0 : m_source->columnCount();
}

bool GroupedModel::isGroupHeader(int row) const
{
    GroupMap::const_iterator it;
    int offset = 0;
    return locate(row, &it, &offset) && offset == 0;
}

int GroupedModel::sourceRow(int row) const
{
    GroupMap::const_iterator it;
    int offset = 0;
    if (!locate(row, &it, &offset) || offset == 0)
        return -1;
    return it->second.rows[size_t(offset - 1)];
}

int GroupedModel::rowOfSource(int source) const
{
    if (source < 0 || size_t(source) >= m_groupOfRow.size())
        return -1;
    const auto it = m_groups.find(*m_groupOfRow[size_t(source)]);
    if (it == m_groups.end() || !it->second.expanded)
        return -1;
    const auto &rows = it->second.rows;
    const auto pos = std::lower_bound(rows.begin(), rows.end(), source);
    if (pos == rows.end() || *pos != source)
        return -1;
    return flatStart(it) + 1 + int(pos - rows.begin());
}

QString GroupedModel::groupText(int row) const
{
    GroupMap::const_iterator it;
    int offset = 0;
    return locate(row, &it, &offset) ? it->first : QString();
}

QVariant GroupedModel::data(const QModelIndex &index, int role) const
{
    GroupMap::const_iterator it;
    int offset = 0;
    if (!index.isValid() || !m_source || !locate(index.row(), &it, &offset))
        return {};
    if (offset == 0) {
        switch (role) {
        case IsGroupHeaderRole: return true;
        case GroupTextRole: return it->first;
        case GroupExpandedRole: return it->second.expanded;
        case SourceRowRole: return -1;
        case Qt::DisplayRole: return index.column() == 0 ? QVariant(it->first) : QVariant();
        default: return {};
        }
    }
    const int source = it->second.rows[size_t(offset - 1)];
    switch (role) {
    case IsGroupHeaderRole: return false;
    case GroupTextRole: return it->first;
    case SourceRowRole: return source;
    default: return m_source->index(source, index.column()).data(role);
    }
}

QVariant GroupedModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return m_source ? m_source->headerData(section, orientation, role) : QVariant();
}

void GroupedModel::setExpanded(const QString &group, bool expanded)
{
    const auto it = m_groups.find(group);
    if (it == m_groups.end() || it->second.expanded == expanded || it->second.rows.empty()) {
        if (it != m_groups.end())
            it->second.expanded = expanded;
        return;
    }
    const int start = flatStart(it) + 1;
    const int last = start + int(it->second.rows.size()) - 1;
    if (expanded) {
        beginInsertRows({}, start, last);
        it->second.expanded = true;
        endInsertRows();
    } else {
        beginRemoveRows({}, start, last);
        it->second.expanded = false;
        endRemoveRows();
    }
    const QModelIndex header = index(start - 1, 0);
    Q_EMIT dataChanged(header, header);
}

void GroupedModel::expandAll()
{
    for (const auto &entry : m_groups) {
        if (!entry.second.expanded)
            setExpanded(entry.first, true);
    }
}

void GroupedModel::collapseAll()
{
    for (const auto &entry : m_groups) {
        if (entry.second.expanded)
            setExpanded(entry.first, false);
    }
}

bool GroupedModel::isExpanded(const QString &group) const
{
    const auto it = m_groups.find(group);
    return it != m_groups.end() && it->second.expanded;
}

QStringList GroupedModel::groups() const
{
    QStringList names;
    for (const auto &entry : m_groups)
        names.append(entry.first);
    return names;
}

}  // namespace tivra
