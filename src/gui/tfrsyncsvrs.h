// The server synchronisation window ("Sincronizar Arquivos entre servidores"): the red notice, the
// origin group with its folder button, the destinations grid with its folder buttons, add and
// remove, "&Sincronizar" and "&Cancelar", and the progress dialog while the copy runs. It renders
// SyncSvrs (src/tools) and forwards the clicks; SyncSvrs decides.
#pragma once

#include "app/progressform.h"
#include "tools/syncsvrs.h"

#include <QDialog>

class QIdentityProxyModel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace tivra {
class Installer;
}

namespace tivra::gui {

class TfrSyncSvrs : public QDialog {
    Q_OBJECT
public:
    TfrSyncSvrs(InstallerSession &session, QWidget *parent = nullptr);

    // The origin the next showing starts with: empty (first page) or the run's application
    // directory (log page).
    void setOrigemPadrao(const QString &origin) { m_sync.origemPadrao = origin; }
    // Both "&Sincronizar Servidores" buttons of the main window open the window modally, the log
    // page's with the run's application directory as the origin.
    void openOnRequest(Installer &installer);

    SyncSvrs &logic() { return m_sync; }
    TProgressForm &progress() { return m_progress; }
    QPlainTextEdit *notice() const { return m_notice; }
    QLineEdit *origin() const { return m_edOrigem; }
    QToolButton *originButton() const { return m_btOpenDir; }
    QTableView *grid() const { return m_grid; }
    QPushButton *addButton() const { return m_btNew; }
    QPushButton *removeButton() const { return m_btDel; }
    QPushButton *syncButton() const { return m_btSync; }
    QPushButton *cancelButton() const { return m_btCancelar; }

    // The six lines of the notice at the top.
    static QStringList noticeLines();

    // Closing is refused while a copy runs (Esc, the frame, "&Cancelar").
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void render();
    void btSyncClick();

    SyncSvrs m_sync;
    TProgressForm m_progress;
    QPlainTextEdit *m_notice = nullptr;
    QLineEdit *m_edOrigem = nullptr;
    QToolButton *m_btOpenDir = nullptr;
    QTableView *m_grid = nullptr;
    QIdentityProxyModel *m_view = nullptr;
    QPushButton *m_btNew = nullptr;
    QPushButton *m_btDel = nullptr;
    QPushButton *m_btSync = nullptr;
    QPushButton *m_btCancelar = nullptr;
};

}  // namespace tivra::gui
