// The package download window ("Download de Pacotes"): renders remote::PackageDownloadWindow and
// forwards the clicks. Two faces: the sign-in panel (pnAuth) and the list of versions (qgVersoes,
// legend, pnStatus with the progress bar and "Importar do Disco...").
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace tivra::remote {
class PackageDownloadWindow;
}

namespace tivra::gui {

class TfrUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrUpdate(remote::PackageDownloadWindow &logic, QWidget *parent = nullptr);

    QWidget *pnAuth() const { return m_pnAuth; }
    QTableWidget *qgVersoes() const { return m_grid; }
    QWidget *pnStatus() const { return m_pnStatus; }
    QLabel *lbTopo() const { return m_lbTopo; }
    QWidget *legend() const { return m_legend; }
    QLineEdit *edUsuarioSAC() const { return m_edUsuario; }
    QLineEdit *edSenhaSAC() const { return m_edSenha; }
    QLineEdit *edDirAppTivra() const { return m_edDir; }
    QCheckBox *cbLembrarDados() const { return m_cbLembrar; }
    QPushButton *btAuth() const { return m_btAuth; }
    QPushButton *btCopyPacote() const { return m_btCopy; }
    QPushButton *btCancelar() const { return m_btCancel; }
    QProgressBar *progressBar() const { return m_progress; }

    // Re-reads the window state of the logic.
    void render();
    // Closing (the frame, Esc) while a download runs cancels the download instead: the former
    // package stays and the window remains open to say so.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void renderGrid();

    remote::PackageDownloadWindow &m_logic;
    QLabel *m_lbTopo = nullptr;
    QWidget *m_legend = nullptr;
    QWidget *m_pnAuth = nullptr;
    QLineEdit *m_edDir = nullptr;
    QToolButton *m_btDir = nullptr;
    QGroupBox *m_group = nullptr;
    QLineEdit *m_edUsuario = nullptr;
    QLineEdit *m_edSenha = nullptr;
    QCheckBox *m_cbLembrar = nullptr;
    QPushButton *m_btAuth = nullptr;
    QTableWidget *m_grid = nullptr;
    QWidget *m_pnStatus = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_btCancel = nullptr;
    QPushButton *m_btCopy = nullptr;
    QTimer *m_timer1 = nullptr;
    QString m_gridSignature;  // what the grid shows, to rebuild it only when it changed
};

}  // namespace tivra::gui
