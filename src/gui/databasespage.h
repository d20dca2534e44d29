// The content of the databases page (tsScripts): the explanatory text, the buttons "Recarregar"
// and "Vali&dar Bancos", the legend of the four validation states, the databases grid qgDbs
// (sortable, user name and masked password editable, Enter and Tab move to the next cell with
// its editor open) and the note about ignoring databases. The page decides nothing: it forwards
// clicks and edits to ReadAliases, ValidarBancos and qgDbsEditing.
#pragma once

#include <QWidget>

class QTableView;
class QSortFilterProxyModel;
class QPushButton;
class QToolButton;

namespace tivra {
class Installer;
}

namespace tivra::gui {

class DatabasesPage : public QWidget {
    Q_OBJECT
public:
    DatabasesPage(Installer &installer, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }
    // The row of session.cdsDbs shown at a grid row.
    int entryOfGridRow(int gridRow) const;

    // The buttons' actions.
    void btRecarregarClick();
    void btValidarDbsClick();

private:
    Installer &m_installer;
    QTableView *m_grid = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
};

}  // namespace tivra::gui
