#include "gui/groupedgrid.h"

#include "gui/pictures.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace tivra::gui {

namespace {
class GroupedDelegate : public QStyledItemDelegate {
public:
    GroupedDelegate(const GroupedGrid::Style &style, QObject *parent) : QStyledItemDelegate(parent), m_style(style) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool header = index.data(GroupedModel::IsGroupHeaderRole).toBool();
        if (header) {
            painter->save();
            painter->fillRect(option.rect, QColor(232, 236, 242));
            painter->setPen(QColor(200, 206, 214));
            painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
            QFont font = option.font;
            font.setBold(true);
            painter->setFont(font);
            painter->setPen(QColor(30, 40, 60));
            const bool expanded = index.data(GroupedModel::GroupExpandedRole).toBool();
            const QString marker = expanded ? QStringLiteral("\u25BE ") : QStringLiteral("\u25B8 ");
            const QString text = index.data(GroupedModel::GroupTextRole).toString();
            painter->drawText(option.rect.adjusted(6, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                              marker + (text.isEmpty() ? QStringLiteral("(Geral)") : text));
            painter->restore();
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const bool selected = opt.state & QStyle::State_Selected;
        if (m_style.background) {
            if (const auto color = m_style.background(index))
                opt.backgroundBrush = *color;
        }
        if (index.column() == m_style.imageColumn) {
            opt.text.clear();
            opt.features &= ~QStyleOptionViewItem::HasDisplay;
        }
        if (!selected && m_style.foreground) {
            if (const auto color = m_style.foreground(index))
                opt.palette.setColor(QPalette::Text, *color);
        }
        if (index.column() == m_style.wrapColumn) {
            opt.features |= QStyleOptionViewItem::WrapText;
            opt.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        }
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        if (index.column() == m_style.imageColumn) {
            const QPixmap pix = statusPicture(index.data(Qt::DisplayRole).toInt(), 16);
            painter->drawPixmap(opt.rect.left() + (opt.rect.width() - 16) / 2,
                                opt.rect.top() + (opt.rect.height() - 16) / 2, pix);
        }
    }

private:
    GroupedGrid::Style m_style;
};
}  // namespace

GroupedGrid::GroupedGrid(GroupedModel *model, Style style, QWidget *parent)
    : QTableView(parent), m_model(model), m_style(std::move(style))
{
    setModel(model);
    setItemDelegate(new GroupedDelegate(m_style, this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < model->columnCount(); ++c)
        setColumnHidden(c, !m_style.columns.contains(c));
    horizontalHeader()->setStretchLastSection(false);
    for (int c : m_style.columns) {
        if (c == m_style.wrapColumn)
            horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
        else
            horizontalHeader()->setSectionResizeMode(c, c == m_style.imageColumn ? QHeaderView::Fixed
                                                                                : QHeaderView::ResizeToContents);
    }
    if (m_style.imageColumn >= 0)
        setColumnWidth(m_style.imageColumn, 28);
    m_lineHeight = fontMetrics().lineSpacing();
    connect(model, &QAbstractItemModel::rowsInserted, this, &GroupedGrid::onRowsInserted);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        applySpans();
        layoutRows(0, m_model->rowCount() - 1);
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        applySpans();
    });
    connect(this, &QAbstractItemView::clicked, this, &GroupedGrid::onClicked);
    applySpans();
    layoutRows(0, model->rowCount() - 1);
}

int GroupedGrid::rowHeightFor(int row) const
{
    const int padding = 6;
    if (m_model->isGroupHeader(row))
        return m_lineHeight + padding + 2;
    if (m_style.maxLines <= 1)
        return m_lineHeight + padding;
    const QString text = m_model->index(row, m_style.wrapColumn).data().toString();
    int width = columnWidth(m_style.wrapColumn) - 8;
    if (width < 50)
        width = viewport()->width() - 80;
    if (width < 50)
        width = 400;
    const QRect bounds = fontMetrics().boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text);
    const int lines = std::clamp((bounds.height() + m_lineHeight - 1) / m_lineHeight, 1, m_style.maxLines);
    return lines * m_lineHeight + padding;
}

void GroupedGrid::layoutRows(int first, int last)
{
    for (int row = first; row <= last; ++row)
        setRowHeight(row, rowHeightFor(row));
}

void GroupedGrid::applySpans()
{
    clearSpans();
    const int columns = m_model->columnCount();
    if (columns <= 1)
        return;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->isGroupHeader(row))
            setSpan(row, 0, 1, columns);
    }
}

void GroupedGrid::onRowsInserted(const QModelIndex &, int first, int last)
{
    const int columns = m_model->columnCount();
    for (int row = first; row <= last; ++row) {
        if (columns > 1 && m_model->isGroupHeader(row))
            setSpan(row, 0, 1, columns);
    }
    layoutRows(first, last);
}

void GroupedGrid::onClicked(const QModelIndex &index)
{
    if (!index.isValid() || !m_model->isGroupHeader(index.row()))
        return;
    const QString group = m_model->groupText(index.row());
    m_model->setExpanded(group, !m_model->isExpanded(group));
}

void GroupedGrid::setCurrentSourceRow(int sourceRow)
{
    const int row = m_model->rowOfSource(sourceRow);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, m_style.columns.value(0, 0));
    setCurrentIndex(index);
    scrollTo(index);
}

void GroupedGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    layoutRows(0, m_model->rowCount() - 1);
}

void GroupedGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    Q_EMIT rowDoubleClicked();
}

}  // namespace tivra::gui
