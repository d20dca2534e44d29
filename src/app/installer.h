// The main window's behaviour without widgets: the installer session, the wizard's pages and
// buttons, the in-memory tables behind the grids, and the operations of the main window
// (FormCreate, ConfigInicial, FormClose, ChangePage, UpdateStatus...). The GUI renders this
// state and forwards clicks; tests and the unattended mode drive it directly.
#pragma once

#include "core/groupedmodel.h"
#include "core/memtable.h"
#include "app/runsummary.h"
#include "core/session.h"
#include "remote/packagedownload.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>
#include <memory>

namespace tivra {

// Pages of the wizard, in their fixed order.
enum Page { tsIntro = 0, tsChangeLog, tsDiretorios, tsCatalogo, tsScripts, tsCheck, tsFinalizar, tsLog, PageCount };

struct PageText {
    QString title;     // lbTitulo
    QString subtitle;  // lbComentario
};
// Title and subtitle of each page.
PageText pageText(Page page);

struct ButtonState {
    QString caption;
    bool visible = true;
    bool enabled = true;
};

// The picture at the top right of the main window.
enum class TopImage { Logo, Package, Success, Warning, Error };

// Entries of the status filter cbFiltroProc, in order (index = image code filtered).
QStringList statusFilterEntries();

class Installer : public QObject {
    Q_OBJECT
public:
    explicit Installer(UserInterface &ui, const BuildSettings &build = BuildSettings::compiled(),
                       QObject *parent = nullptr);
    ~Installer() override;

    InstallerSession session;

    // In-memory tables owned by the main window (the first three live in the session, where the
    // stages reach them).
    MemTable &cdsCatalogo;
    MemTable &cdsDbs;
    MemTable &cdsChecks;
    MemTable cdsColumnsTarget;
    MemTable cdsPrimaryKeyTarget;
    MemTable cdsUniqueKeyTarget;
    MemTable cdsChecksTarget;
    MemTable cdsReferencesTarget;
    MemTable cdsIndexTarget;

    // The grids: the status log grouped by stage, the checks list grouped by ETAPA.
    GroupedModel statusGrid;
    GroupedModel checksGrid;

    // Window state rendered by the GUI.
    QString caption;
    PageText header;  // lbTitulo, lbComentario
    Page activePage = tsIntro;
    TopImage topImage = TopImage::Logo;
    bool busy = false;
    ButtonState btAvancar, btVoltar, btConcluir, btLog, btAtualizacoes, btSyncSvr, btInstallNewPack, btSyncSvrFinal,
        btManual;
    int filterIndex = 0;        // cbFiltroProc
    bool expandEtapas = true;   // cbExpandirRecolher
    bool logControlsEnabled = true;  // filter, expand box and "&Log Parcial" while on the log page
    QString mFinalizar;
    // Summary page: the script buttons ("DB2", "Oracle", "SQL Server" and their label), the
    // "Relacionar TableSpaces" button, and the height of the summary panel.
    bool scriptButtonsVisible = false;
    bool tableSpacesButtonVisible = false;
    int summaryPanelHeight = 240;

    // The outcome of the last update run of this process.
    enum class RunResult { None, Completed, CompletedWithFailures, Interrupted, Aborted };
    RunResult lastRunResult = RunResult::None;
    int runCount = 0;
    int lastFailures = 0;
    PageText lastVerdict;  // title and subtitle the last run ended with
    QString lastLogFile;
    QString lastLogbookFile;

    // The file version text of the running program, shown in the caption.
    QString ownVersionText;
    // No person is there (/quiet): the start confirmation is not asked.
    bool unattended = false;
    // The pre-flight report ("/dryrun", src/app/dryrun.h): the checks change nothing and the log
    // page builds the report instead of running the update. dryRunExit is its exit status once
    // built (-1 before), dryRunText its text, dryRunFile the file written.
    bool dryRun = false;
    int dryRunExit = -1;
    QString dryRunText;
    QString dryRunFile;
    void performDryRun();
    // Tests place the installer elsewhere than beside the test program.
    QString installerDirectoryOverride;

    // Operations of the main window.
    void FormCreate();
    void FormShow();
    // Asks "Encerrar Atualizador"; true when the window may close. While an update run (or a
    // pre-flight report) works, closing is refused with a box that says so: the window would
    // otherwise vanish while the run goes on unseen.
    bool FormClose();
    // An update run or a pre-flight report is working (set for their whole length).
    bool runInProgress = false;
    void FormDestroy();
    void ConfigInicial();
    void SetTitulo();
    void ChangePage(bool forward);
    void ShowAnimate(bool on);
    // Shows a page with its titles and buttons without running its entry step (previews and
    // screenshots).
    void PreviewPage(Page page);
    void NextPage();
    void PreviousPage();
    // Whether the active page may be left forwards; shows the reason when not.
    bool CheckNextPage();

    // Buttons.
    void btManualClick();
    void btDirAppTivraClick();
    void btDirBackupClick();
    void btPathLogClick();
    void btCheckClick();
    void btRelacionarTableSpacesClick();
    // The summary page's script buttons: "DB2", "ORACLE" or "SQL Server".
    void btScriptClick(const QString &vendor);
    void btAtualizacoesClick();
    void btSyncSvrClick();
    void btSyncSvrFinalClick();
    // "Tela Inicial": a fresh session on the first page.
    void btInstallNewPackClick();
    void ctrlEPressed();

    // Log page controls.
    void cbFiltroProcChange(int index);
    void cbExpandirRecolherClick(bool checked);
    // The partial log window ("&Log Parcial", double clicks on the grids).
    void btLogClick();

    void UpdateStatus(const QString &message, bool writeToLog, const QString &stage, int image, bool addRow)
    {
        session.UpdateStatus(message, writeToLog, stage, image, addRow);
    }

    // Step 5 of FormCreate: the installer self-update check (VerificaVersaoInstalador; tests
    // replace it).
    std::function<void(Installer &)> selfUpdateCheck;
    // Lets go of the installer directory's lock before a self-update starts the new executable in
    // this process (set by the program's start).
    std::function<void()> releaseInstanceLock;

    // The package download window's behaviour (TfrUpdate); the GUI renders it.
    remote::PackageDownloadWindow downloadWindow;

Q_SIGNALS:
    // Something of the window state changed: the GUI re-reads it.
    void changed();
    // The main window should close (it asks FormClose first).
    void closeRequested();
    // Ctrl+E on the databases page: the ad-hoc SQL window should open, modally.
    void execQryRequested();
    // The side windows should open modally: the download window (it answers through
    // packageDownloaded), the synchronisation window with its source folder, the tablespace window.
    void downloadRequested();
    void syncRequested(const QString &sourceFolder);
    void tableSpacesRequested();
    // The pre-flight report was built (and shown): the program ends with dryRunExit.
    void dryRunFinished();

public:
    // The update run.
    void StartUpdate();
    int SetStatusFinalAtualizacao(bool interrupted);
    // Runs stages 01 to 12 in their chain; false when a stage interrupted the run.
    bool runStages();
    // The download window reports that it fetched a package.
    void packageDownloaded();
    // Opens the download window with the loaded package's version: through the GUI when a window
    // listens to downloadRequested, else without a window (unattended Darnu chains). A new
    // package in place is then reloaded.
    void openDownloadWindow();
    // The self-update check of the running program (the default selfUpdateCheck).
    void checkInstallerVersion();
    // Whether the maker's web site answers (bounded, short timeout). Replaceable by tests.
    std::function<bool(const QString &url)> siteReachable;
    // The stages of the run and the final report; replaceable by tests.
    std::function<std::vector<struct UpdateStage>()> stageList;
    std::function<void(InstallerSession &, const QString &logFile, const QString &message, int failures)> finalReport;

private:
    void setButtonsForPage();
    // The entry step of the active page; returns true when the page passes on by itself.
    bool enterPage();
    void passOn(bool forward);
    void runChecks();
    void buildSummary();
    void enterLogPage();
    void conclusionStage();
    void removeEmptyBackupFolder();
    QString runningStage;  // the stage the chain is in, for an error that escapes it
    std::vector<StageRecord> stageRecords;  // the chain of the last run, for its summary
    // At the end of a run: a row per database of the list that took no part, with why.
    void reportDatabasesNotUpdated();

public:
    QString lastSummaryError;  // why the last run's summary could not be written, if it could not

public:
    // One line per database entry with credentials whose validation failed (alias and cause).
    QStringList unvalidatedDatabases() const;
    // Why the database of a row of the list takes no part in an update run, from its validation
    // state ("a conexão falhou. Mensagem: ...", "ignorado na validação ..."); empty when it was
    // validated and takes part.
    QString notUpdatedReason(int row) const;

    // How far the running stage is ("06. Scripts de Banco: 1 234 de 20 000 instruções"), shown in
    // the top panel in place of the subtitle while the stage reports its counts; empty otherwise.
    QString progressSubtitle;
    // The subtitle the top panel shows.
    const QString &displayedSubtitle() const { return progressSubtitle.isEmpty() ? header.subtitle : progressSubtitle; }
    // The subtitle follows the counts at most this often (the first and the last count always).
    static constexpr qint64 kProgressRepaintMs = 100;

Q_SIGNALS:
    // progressSubtitle changed: the GUI re-reads the subtitle only.
    void progressChanged();

private:
    void showStageProgress(const QString &stage, qint64 done, qint64 total, ProgressUnit unit);
    void endStageProgress();
    qint64 m_progressShownAt = 0;
};

}  // namespace tivra
