// The behaviour of the package download window (TfrUpdate, "Download de Pacotes") without
// widgets: sign-in against the support site's user list, the databases and their columns, the
// listing of the versions published for the user's customer, the download that replaces
// Update.pack only when complete, the description window, the import from disk, the remembered
// sign-in data and the Darnu chain. The GUI renders this state and forwards clicks.
#pragma once

#include "core/memtable.h"
#include "remote/httpclient.h"
#include "remote/packagelisting.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>

namespace tivra {
struct InstallerSession;
}

namespace tivra::remote {

// The repository paths below the base address, and the support site's user list.
inline const QString kListingFile = QStringLiteral("Versoes.txt");
inline const QString kUserListPath = QStringLiteral("sac/util/list_users.php");

class PackageDownloadWindow : public QObject {
    Q_OBJECT
public:
    explicit PackageDownloadWindow(InstallerSession &session, QObject *parent = nullptr);
    ~PackageDownloadWindow() override;

    // The versions table behind qgVersoes (ID, LINK, SIZE, VERSAO_INT, VERSAO, CHANGELOG,
    // SIZE_INT, ALIAS1..ALIAS5).
    MemTable cdsVersoes;
    int currentRow = -1;

    // Fields of the sign-in face.
    QString edUsuarioSAC;
    QString edSenhaSAC;
    QString edDirAppTivra;  // read-only; set through btDirAppTivraClick
    bool cbLembrarDados = false;

    // Window state rendered by the GUI.
    struct AliasColumn {
        bool visible = false;
        QString caption;
    };
    std::array<AliasColumn, 5> aliasColumns;
    bool authPanelVisible = true;  // pnAuth; the list, legend and pnStatus show when false
    QString topCaption;
    bool topCaptionCentred = true;
    bool legendVisible = false;
    int progressMaximum = 100;
    qint64 progressPosition = 0;
    bool downloading = false;
    bool timer1Enabled = false;

    // The version of the package the main window has loaded (empty without a package).
    QString versaoPacoteCarregado;
    // Set when the window put a new Update.pack in place; the main window then reloads it.
    bool novoPacote = false;
    // The customer code of the signed-in user (kept for the program's lifetime).
    QString codigoClienteSAC;
    bool bancoValidado = false;

    // Reads the aliases, validates the databases and creates the version tables (the main
    // window's operations); set by the main window.
    std::function<void()> prepareDatabases;
    // Bounds of the text fetches and downloads (the pump is added by the window).
    HttpOptions textOptions;
    HttpOptions downloadOptions;
    // A package download is cut off past the size the listing announces for it, with a margin
    // of a hundredth and kDownloadMarginBytes; this ceiling holds where it announces none.
    static constexpr qint64 kDownloadMarginBytes = 64 * 1024;
    qint64 downloadCeilingBytes = 8LL * 1024 * 1024 * 1024;
    // The bytes free for the current user in a folder, -1 when unknown (QStorageInfo by
    // default); replaceable by tests.
    std::function<qint64(const QString &folder)> freeSpace;
    // The most a download of a package announced with this size may bring.
    qint64 downloadLimit(qint64 announcedBytes) const;

    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void btAuthClick();
    // Enter (key code 13) in the password field acts as "&Autenticar".
    void edSenhaSACKeyDown(int key);
    void btDirAppTivraClick();
    // "Baixar Pacote" and "Info" of a row.
    void qgVersoesColumn2ButtonClick(int row);
    void qgVersoesColumn4ButtonClick(int row);
    void btCopyPacoteClick();
    // Cancels a download in progress (the bar's "Cancelar" button); the former package stays.
    void cancelDownload() { m_cancelRequested = true; }

    bool AutenticaSAC();
    bool PreparaBancos();
    void CarregaVersoes();
    void CarregaDadosAcesso();
    void SalvaDadosAcesso();
    void ExibePainelAutenticacao(bool show);

    // The installer settings file beside the installer.
    QString settingsFile() const;
    QString packageFile() const;

    // The texts of the legend.
    static QString legendNotInstalled() { return QStringLiteral("Não Instalado"); }
    static QString legendInstalled() { return QStringLiteral("Instalado com Sucesso"); }

Q_SIGNALS:
    void changed();
    // The window should close (a new package is in place).
    void closeRequested();
    // The application directory field should take the focus.
    void focusDirectoryRequested();

private:
    // Downloads the row's package over Update.pack; true when it is in place.
    bool downloadPackage(int row);
    // The Darnu chain after the listing: the next package not installed.
    void continueChain();
    // Puts a package from disk in place of Update.pack; in a build with a signing key only with a
    // valid signature beside it (source + ".sig"), checked on the copy that goes in place. A refusal
    // sets refusal to the text that says why.
    bool copyOverPackage(const QString &source, QString *refusal = nullptr);
    void close();
    HttpOptions pumped(HttpOptions options) const;

    InstallerSession &m_session;
    bool m_cancelRequested = false;
};

}  // namespace tivra::remote
