// The logic of the server synchronisation window TfrSyncSvrs ("Sincronizar Arquivos entre
// servidores"): one application directory (the origin, usually the one just updated) is copied
// over the application directories of other servers with the folder copy of the deployment, one
// destination after the other. The window renders this state and forwards its clicks; the
// unattended command-line form (synccommand.h) drives it without a window.
#pragma once

#include "core/memtable.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tivra {

struct InstallerSession;

// Values of CAN_WRITE and STATUS.
inline const QString kAprovado = QStringLiteral("Aprovado");
inline const QString kReprovado = QStringLiteral("Reprovado");
inline const QString kAguardando = QStringLiteral("Aguardando");
inline const QString kConcluido = QStringLiteral("Concluído");
inline const QString kErro = QStringLiteral("Erro");

// The heading put before the first error line of a synchronisation.
inline const QString kSyncErrorHeading = QStringLiteral("Erro(s) gerado(s) durante a sincronização:");
// The file name the error lines are offered under.
inline const QString kSyncLogFileName = QStringLiteral("LogSincronizacao.txt");

// cdsDestinos: ID, PATH_DEST (250), CAN_WRITE (15), STATUS (10).
std::vector<MemTable::Field> destinosFields();

// Whether a folder is an application directory: it holds "Executaveis/Versoes.ini" or at least one
// of the sub-folders "Producao", "Bibliotecas", "Relatorios", "Executaveis".
bool isAppTivraDirectory(const QString &folder);
// Whether the path ends with "AppTivra" in exactly that letter case (trailing separators aside).
bool endsWithAppTivra(const QString &path);
// Why the destination cannot receive a copy of the origin: it is the origin, lies inside it or
// contains it (a copy would overwrite or multiply the files it copies). Empty when it can, and
// when either path is empty.
QString destinationConflict(const QString &origin, const QString &destination);
// The key under which two spellings of the same folder compare equal (separators, "..", a
// trailing separator, links; letter case on Windows).
QString folderKey(const QString &path);

class SyncSvrs : public QObject {
    Q_OBJECT
public:
    explicit SyncSvrs(InstallerSession &session, QObject *parent = nullptr);

    InstallerSession &session;
    MemTable cdsDestinos;

    // The origin field edOrigem, and the origin the window is opened with (empty from the first
    // page, the run's application directory from the log page).
    QString edOrigem;
    QString origemPadrao;
    bool btDelEnabled = false;
    bool btSyncEnabled = false;
    // A copy is running: the window's controls are disabled and it cannot be closed.
    bool copying = false;

    // Shows or hides the progress dialog "Sincronizando Arquivos, aguarde..." (the window's
    // TProgressForm); may stay empty.
    std::function<void(bool shown)> showProgress;
    // Opens the saved error log (the shell's "open"); replaceable by tests.
    std::function<bool(const QString &path)> openDocument;

    // Why a row was refused or failed, or which of its files were held open and passed over;
    // shown as the row's tip and printed by the unattended form. Empty when there is nothing to say.
    QString rowNote(int row) const;

    // Operations of the window.
    void FormShow();
    void btOpenDirClick();
    void btNewClick();
    void qgDestinosColumn4ButtonClick(int row);
    void qgDestinosEdited(int row);
    void btDelClick(int row);
    // "&Sincronizar"; true when the window should close (every destination copied).
    bool btSyncClick();
    void HabilitaSincronizar();

    // The checks of a destination, without boxes: a folder chosen with the folder button (the
    // "AppTivra" ending is the caller's test) or typed into the grid (it must exist and be an
    // application directory). Both refuse a destination that overlaps the origin and then apply
    // the write test. Set STATUS to "Aguardando" and CAN_WRITE; return the reason of a refusal.
    QString VerificaDestinoEscolhido(int row, const QString &path);
    QString VerificaDestinoDigitado(int row);
    // Appends a typed destination and checks it; a path longer than PATH_DEST holds is refused.
    int AdicionaDestinoDigitado(const QString &path);
    // Refuses every approved row that overlaps the origin; returns one line per refused row.
    QStringList RecusaDestinosSobrepostos();

    // The copy of the origin over every approved row, in list order, without boxes: STATUS
    // becomes "Concluído" or "Erro"; a destination listed again is copied once (the repeated
    // row takes the first one's state). Returns the error lines (without the heading).
    QStringList Sincronizar();

Q_SIGNALS:
    // Something of the state changed: the window re-reads it.
    void changed();

private:
    void setNote(int row, const QString &note);
    bool overlapBox(const QStringList &lines);
    QHash<qint64, QString> m_notes;  // by ID
};

}  // namespace tivra
