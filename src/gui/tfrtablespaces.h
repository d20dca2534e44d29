// The tablespace mapping window ("Relacionar TableSpaces"): one row per database and package
// tablespace name, the database's tablespaces offered in a drop-down, and "Confirmar". Showing it
// (exec) loads the lists when the mapping is empty and clears session.tableSpacesConfirmed; it
// closes only when every row is mapped, and then sets the flag.
#pragma once

#include <QDialog>

class QTableView;

namespace tivra {
struct InstallerSession;
}

namespace tivra::gui {

class TfrTableSpaces : public QDialog {
    Q_OBJECT
public:
    TfrTableSpaces(InstallerSession &session, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }

    // Every attempt to close (the button, the frame, Esc) goes through here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    InstallerSession &m_session;
    QTableView *m_grid = nullptr;
};

}  // namespace tivra::gui
