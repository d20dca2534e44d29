// The main window: the wizard. It renders the state that tivra::Installer owns (page, titles,
// buttons, tables) and forwards clicks and edits to it; it decides nothing itself.
#pragma once

#include "app/installer.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace tivra::gui {

class BusyAnimation;
class GroupedGrid;

class TfrInstaller : public QWidget {
    Q_OBJECT
public:
    explicit TfrInstaller(Installer &installer, QWidget *parent = nullptr);

    Installer &installer() { return m_installer; }

    // Re-reads the installer's state into the widgets.
    void refresh();
    // Plays or stops the busy animation in place of the top-right picture.
    void setBusy(bool on);

    // Widgets that tests look at.
    QStackedWidget *pages() const { return m_pages; }
    QLabel *lbTitulo() const { return m_lbTitulo; }
    QLabel *lbComentario() const { return m_lbComentario; }
    QPushButton *btAvancar() const { return m_btAvancar; }
    QPushButton *btVoltar() const { return m_btVoltar; }
    GroupedGrid *qgStatus() const { return m_qgStatus; }
    QComboBox *cbFiltroProc() const { return m_cbFiltroProc; }
    QCheckBox *cbExpandirRecolher() const { return m_cbExpandirRecolher; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildTopPanel();
    QWidget *buildIntroPage();
    QWidget *buildChangeLogPage();
    QWidget *buildDirectoriesPage();
    QWidget *buildCatalogPage();
    QWidget *buildDatabasesPage();
    QWidget *buildChecksPage();
    QWidget *buildSummaryPage();
    QWidget *buildLogPage();
    QWidget *buildButtonBar();
    static void applyButton(QPushButton *button, const ButtonState &state);

    Installer &m_installer;
    QLabel *m_lbTitulo = nullptr;
    QLabel *m_lbComentario = nullptr;
    QLabel *m_imgLogo = nullptr;
    BusyAnimation *m_animate = nullptr;
    QStackedWidget *m_pages = nullptr;

    QPushButton *m_btManual = nullptr;
    QPlainTextEdit *m_mChangeLog = nullptr;
    QLineEdit *m_edPathAppTivra = nullptr;
    QLineEdit *m_edPathBackup = nullptr;
    QLineEdit *m_edPathLog = nullptr;
    QCheckBox *m_cbIgnoreBackup = nullptr;
    QPlainTextEdit *m_mFinalizar = nullptr;
    QWidget *m_scriptButtons = nullptr;
    QPushButton *m_btTableSpaces = nullptr;
    GroupedGrid *m_qgCheck = nullptr;
    GroupedGrid *m_qgStatus = nullptr;
    QComboBox *m_cbFiltroProc = nullptr;
    QCheckBox *m_cbExpandirRecolher = nullptr;

    QPushButton *m_btAvancar = nullptr;
    QPushButton *m_btVoltar = nullptr;
    QPushButton *m_btConcluir = nullptr;
    QPushButton *m_btLog = nullptr;
    QPushButton *m_btAtualizacoes = nullptr;
    QPushButton *m_btSyncSvr = nullptr;
    QPushButton *m_btInstallNewPack = nullptr;
    QPushButton *m_btSyncSvrFinal = nullptr;
    bool m_closing = false;
};

}  // namespace tivra::gui
