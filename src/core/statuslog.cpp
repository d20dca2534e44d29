#include "core/statuslog.h"

#include "core/clock.h"
#include "core/userinterface.h"

#include <algorithm>

namespace tivra {

QString logTimeStamp(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("dd/MM/yyyy - hh:mm:ss"));
}

StatusLog::StatusLog(QObject *parent) : QAbstractTableModel(parent) {}

void StatusLog::UpdateStatus(const QString &message, bool writeToLog, const QString &stage, int image, bool addRow)
{
    if (addRow) {
        if (!m_rows.empty())
            setImage(int(m_rows.size()) - 1, m_lastStatusImage);

        StatusRow row;
        row.id = m_nextId++;
        row.detalhes = message.left(kDetalhesWidth);
        row.group = stage.left(kGroupWidth);
        row.image = image == ImageError ? ImageError : ImageNeutral;
        const bool visible = passes(row);
        const int visibleIndex = rowCount();
        if (visible)
            beginInsertRows({}, visibleIndex, visibleIndex);
        m_rows.push_back(std::move(row));
        if (visible) {
            if (m_filterOn)
                m_visible.push_back(int(m_rows.size()) - 1);
            endInsertRows();
        }
        Q_EMIT expandAllRequested();
        if (visible)
            Q_EMIT currentRowChanged(visibleIndex);
        m_lastStatusImage = image;
        if (!stage.isEmpty())
            m_currentStage = m_rows.back().group;
    }

    if (writeToLog) {
        if (message.isEmpty())
            m_logText.append(QStringLiteral("\r\n"));
        else
            m_logText.append(logTimeStamp(currentDateTime()) + QStringLiteral("- ") + message);
    }

    if (m_ui)
        m_ui->processEvents();
}

void StatusLog::clearRows()
{
    beginResetModel();
    m_rows.clear();
    m_visible.clear();
    endResetModel();
}

void StatusLog::setImage(int storedIndex, int image)
{
    StatusRow &row = m_rows[size_t(storedIndex)];
    if (row.image == image)
        return;
    const bool wasVisible = passes(row);
    row.image = image;
    const bool isVisible = passes(row);
    if (!m_filterOn) {
        const QModelIndex changed = index(storedIndex, ColImage);
        Q_EMIT dataChanged(changed, changed);
        return;
    }
    const auto pos = std::lower_bound(m_visible.begin(), m_visible.end(), storedIndex);
    const int at = int(pos - m_visible.begin());
    if (wasVisible && !isVisible) {
        beginRemoveRows({}, at, at);
        m_visible.erase(pos);
        endRemoveRows();
    } else if (!wasVisible && isVisible) {
        beginInsertRows({}, at, at);
        m_visible.insert(pos, storedIndex);
        endInsertRows();
    } else if (isVisible) {
        const QModelIndex changed = index(at, ColImage);
        Q_EMIT dataChanged(changed, changed);
    }
}

void StatusLog::settleLastRow()
{
    if (!m_rows.empty())
        setImage(int(m_rows.size()) - 1, m_lastStatusImage);
}

void StatusLog::setFilter(int image, bool on)
{
    beginResetModel();
    m_filterImage = image;
    m_filterOn = on;
    rebuildVisible();
    endResetModel();
}

int StatusLog::countImage(int code)
{
    setFilter(code, true);
    return rowCount();
}

void StatusLog::rebuildVisible()
{
    m_visible.clear();
    if (!m_filterOn)
        return;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].image == m_filterImage)
            m_visible.push_back(int(i));
    }
}

int StatusLog::visibleRowOf(int storedIndex) const
{
    if (storedIndex < 0 || size_t(storedIndex) >= m_rows.size())
        return -1;
    if (!m_filterOn)
        return storedIndex;
    const auto pos = std::lower_bound(m_visible.begin(), m_visible.end(), storedIndex);
    return (pos != m_visible.end() && *pos == storedIndex) ? int(pos - m_visible.begin()) : -1;
}

const StatusRow &StatusLog::visibleRow(int row) const
{
    return m_filterOn ? m_rows[size_t(m_visible[size_t(row)])] : m_rows[size_t(row)];
}

int StatusLog::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_filterOn ? int(m_visible.size()) : int(m_rows.size());
}

int StatusLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StatusLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const StatusRow &row = visibleRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case ColDetalhes: return row.detalhes;
        case ColImage: return row.image;
        case ColGroup: return row.group;
        case ColId: return row.id;
        default: return {};
        }
    case ImageRole: return row.image;
    case GroupRole: return row.group;
    case IdRole: return row.id;
    default: return {};
    }
}

QVariant StatusLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const names[] = {"DETALHES", "IMAGE", "GROUP", "ID"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

}  // namespace tivra
