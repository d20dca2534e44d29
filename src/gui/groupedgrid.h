// A grid that shows a GroupedModel: a header line per group (click to expand or collapse), the
// rows below it, no column headers, whole-row selection, rows as tall as their text needs up to a
// limit. Row heights are computed when rows arrive, so appending a row costs the same whatever
// the number of rows already shown.
#pragma once

#include "core/groupedmodel.h"

#include <QColor>
#include <QTableView>
#include <functional>
#include <optional>

namespace tivra::gui {

class GroupedGrid : public QTableView {
    Q_OBJECT
public:
    struct Style {
        QList<int> columns;          // source columns shown, in order; others hidden
        int wrapColumn = 0;          // the column whose text wraps
        int maxLines = 1;            // lines per row at most
        int imageColumn = -1;        // column painted as a status picture
        std::function<std::optional<QColor>(const QModelIndex &)> background;
        std::function<std::optional<QColor>(const QModelIndex &)> foreground;
    };

    GroupedGrid(GroupedModel *model, Style style, QWidget *parent = nullptr);

    GroupedModel *groupedModel() const { return m_model; }
    // Makes the row of a source row the current one and scrolls to it.
    void setCurrentSourceRow(int sourceRow);

Q_SIGNALS:
    void rowDoubleClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void onRowsInserted(const QModelIndex &parent, int first, int last);
    void onClicked(const QModelIndex &index);
    void layoutRows(int first, int last);
    void applySpans();
    int rowHeightFor(int row) const;

    GroupedModel *m_model;
    Style m_style;
    int m_lineHeight = 16;
};

}  // namespace tivra::gui
