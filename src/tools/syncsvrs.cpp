#include "tools/syncsvrs.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "deploy/foldercopy.h"
#include "platform/system.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

namespace tivra {

namespace {

const QString kPathDest = QStringLiteral("PATH_DEST");
const QString kCanWrite = QStringLiteral("CAN_WRITE");
const QString kStatus = QStringLiteral("STATUS");

const QString kInvalidCaption = QStringLiteral("Diretório inválido");
constexpr int kPathDestWidth = 250;

QString tooLong(const QString &path)
{
    return QStringLiteral("O caminho do diretório tem mais de %1 caracteres: \"").arg(kPathDestWidth) + path
        + QStringLiteral("\".");
}

QString withoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        path.chop(1);
    return path;
}

// Clears the copying state (and hides the progress dialog) on every way out of the copy.
class CopyingScope {
public:
    explicit CopyingScope(SyncSvrs &sync) : m_sync(sync)
    {
        m_sync.copying = true;
        Q_EMIT m_sync.changed();
        if (m_sync.showProgress)
            m_sync.showProgress(true);
    }
    ~CopyingScope()
    {
        if (m_sync.showProgress)
            m_sync.showProgress(false);
        m_sync.copying = false;
        Q_EMIT m_sync.changed();
    }
    CopyingScope(const CopyingScope &) = delete;
    CopyingScope &operator=(const CopyingScope &) = delete;

private:
    SyncSvrs &m_sync;
};

}  // namespace

std::vector<MemTable::Field> destinosFields()
{
    return {
        {QStringLiteral("ID"), MemTable::Type::AutoInc, 0},
        {kPathDest, MemTable::Type::Text, kPathDestWidth},
        {kCanWrite, MemTable::Type::Text, 15},
        {kStatus, MemTable::Type::Text, 10},
    };
}

bool isAppTivraDirectory(const QString &folder)
{
    if (folder.trimmed().isEmpty())
        return false;
    const QDir dir(localPath(folder.trimmed()));
    if (!dir.exists())
        return false;
    if (QFileInfo(dir.filePath(QStringLiteral("Executaveis/Versoes.ini"))).isFile())
        return true;
    for (const char *marker : {"Producao", "Bibliotecas", "Relatorios", "Executaveis"}) {
        if (QFileInfo(dir.filePath(QLatin1String(marker))).isDir())
            return true;
    }
    return false;
}

bool endsWithAppTivra(const QString &path)
{
    return withoutTrailingSeparators(path.trimmed()).endsWith(QStringLiteral("AppTivra"), Qt::CaseSensitive);
}

QString folderKey(const QString &path)
{
    const QFileInfo info(localPath(path.trimmed()));
    QString key = info.exists() ? info.canonicalFilePath() : QString();
    if (key.isEmpty())
        key = QDir::cleanPath(info.absoluteFilePath());
#ifdef Q_OS_WIN
    key = key.toCaseFolded();
#endif
    return key;
}

QString destinationConflict(const QString &origin, const QString &destination)
{
    if (origin.trimmed().isEmpty() || destination.trimmed().isEmpty())
        return {};
    const QString o = folderKey(origin);
    const QString d = folderKey(destination);
    const QString head = QStringLiteral("O diretório de destino \"") + destination.trimmed() + QLatin1Char('"');
    if (d == o)
        return head + QStringLiteral(" é o próprio diretório de origem dos arquivos.");
    const auto inside = [](const QString &inner, const QString &outer) {
        const QString prefix = outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/');
        return inner.startsWith(prefix);
    };
    if (inside(d, o))
        return head + QStringLiteral(" está dentro do diretório de origem \"") + origin + QStringLiteral("\".");
    if (inside(o, d))
        return head + QStringLiteral(" contém o diretório de origem \"") + origin + QStringLiteral("\".");
    return {};
}

SyncSvrs::SyncSvrs(InstallerSession &session, QObject *parent)
    : QObject(parent), session(session), cdsDestinos(QStringLiteral("cdsDestinos"), destinosFields()),
      openDocument(&platform::openDocument)
{
    cdsDestinos.setEditableFields({kPathDest});
    connect(&cdsDestinos, &MemTable::edited, this, [this](int row, const QString &field) {
        if (field.compare(kPathDest, Qt::CaseInsensitive) == 0)
            qgDestinosEdited(row);
    });
}

QString SyncSvrs::rowNote(int row) const
{
    if (row < 0 || row >= cdsDestinos.count())
        return {};
    return m_notes.value(cdsDestinos.integer(row, QStringLiteral("ID")));
}

void SyncSvrs::setNote(int row, const QString &note)
{
    const qint64 id = cdsDestinos.integer(row, QStringLiteral("ID"));
    if (note.isEmpty())
        m_notes.remove(id);
    else
        m_notes.insert(id, note);
}

void SyncSvrs::FormShow()
{
    cdsDestinos.clear();
    m_notes.clear();
    btDelEnabled = false;
    btSyncEnabled = false;
    edOrigem = origemPadrao;
    Q_EMIT changed();
}

void SyncSvrs::HabilitaSincronizar()
{
    bool blocked = false;
    for (int row = 0; row < cdsDestinos.count() && !blocked; ++row) {
        const QString canWrite = cdsDestinos.text(row, kCanWrite);
        blocked = canWrite == kReprovado || canWrite.isEmpty();
    }
    btSyncEnabled = !edOrigem.isEmpty() && cdsDestinos.count() > 0 && !blocked;
    btDelEnabled = cdsDestinos.count() > 0;
    Q_EMIT changed();
}

bool SyncSvrs::overlapBox(const QStringList &lines)
{
    if (lines.isEmpty())
        return false;
    session.ui.warning(kInvalidCaption, lines.join(QLatin1Char('\n'))
                                            + QStringLiteral("\n\nInforme outro diretório \"AppTivra\" de destino: "
                                                             "nenhum arquivo foi copiado."));
    return true;
}

void SyncSvrs::btOpenDirClick()
{
    if (copying)
        return;
    const QString chosen = session.ui.chooseFolder(QStringLiteral("Diretório de Origem"), edOrigem);
    if (chosen.isEmpty())
        return;
    if (!isAppTivraDirectory(chosen) || !endsWithAppTivra(chosen)) {
        session.ui.warning(kInvalidCaption, QStringLiteral("Diretório selecionado inválido. Informe aqui o diretório "
                                                           "\"AppTivra\" de origem dos arquivos."));
        return;
    }
    edOrigem = chosen;
    overlapBox(RecusaDestinosSobrepostos());
    HabilitaSincronizar();
}

void SyncSvrs::btNewClick()
{
    if (copying)
        return;
    const int row = cdsDestinos.append();
    btDelEnabled = true;
    HabilitaSincronizar();
    qgDestinosColumn4ButtonClick(row);
}

void SyncSvrs::qgDestinosColumn4ButtonClick(int row)
{
    if (copying || row < 0 || row >= cdsDestinos.count())
        return;
    const QString chosen = session.ui.chooseFolder(QStringLiteral("Diretório de Destino"), cdsDestinos.text(row, kPathDest));
    if (chosen.isEmpty())
        return;
    if (!endsWithAppTivra(chosen)) {
        session.ui.warning(kInvalidCaption, QStringLiteral("Diretório selecionado inválido. Informe o diretório "
                                                           "\"AppTivra\" de destino dos arquivos."));
        return;
    }
    const QString reason = VerificaDestinoEscolhido(row, chosen);
    if (!reason.isEmpty() && reason == destinationConflict(edOrigem, chosen))
        overlapBox({reason});
    HabilitaSincronizar();
}

void SyncSvrs::qgDestinosEdited(int row)
{
    if (copying || row < 0 || row >= cdsDestinos.count())
        return;
    const QString reason = VerificaDestinoDigitado(row);
    if (!reason.isEmpty() && reason == destinationConflict(edOrigem, cdsDestinos.text(row, kPathDest)))
        overlapBox({reason});
    HabilitaSincronizar();
}

void SyncSvrs::btDelClick(int row)
{
    if (copying || row < 0 || row >= cdsDestinos.count())
        return;
    setNote(row, {});
    cdsDestinos.removeRow(row);
    HabilitaSincronizar();
}

QString SyncSvrs::VerificaDestinoEscolhido(int row, const QString &path)
{
    cdsDestinos.setValue(row, kPathDest, path);
    cdsDestinos.setValue(row, kStatus, kAguardando);
    // PATH_DEST keeps 250 characters: a longer path would be checked and copied cut short, into
    // another folder.
    QString reason = path.size() > kPathDestWidth ? tooLong(path) : destinationConflict(edOrigem, path);
    if (reason.isEmpty() && !CheckPermissaoEscrita(session, localPath(path), false))
        reason = QStringLiteral("Sem permissão de escrita no diretório \"") + path + QStringLiteral("\".");
    cdsDestinos.setValue(row, kCanWrite, reason.isEmpty() ? kAprovado : kReprovado);
    setNote(row, reason);
    Q_EMIT changed();
    return reason;
}

int SyncSvrs::AdicionaDestinoDigitado(const QString &path)
{
    const int row = cdsDestinos.append({{kPathDest, path}});
    if (path.trimmed().size() <= kPathDestWidth) {
        VerificaDestinoDigitado(row);
    } else {
        cdsDestinos.setValue(row, kStatus, kAguardando);
        cdsDestinos.setValue(row, kCanWrite, kReprovado);
        setNote(row, tooLong(path.trimmed()));
        Q_EMIT changed();
    }
    return row;
}

QString SyncSvrs::VerificaDestinoDigitado(int row)
{
    const QString typed = cdsDestinos.text(row, kPathDest);
    const QString path = typed.trimmed();
    if (path != typed)
        cdsDestinos.setValue(row, kPathDest, path);
    cdsDestinos.setValue(row, kStatus, kAguardando);
    QString reason;
    if (path.isEmpty() || !QFileInfo(localPath(path)).isDir())
        reason = QStringLiteral("O diretório \"") + path + QStringLiteral("\" não existe.");
    else if (!isAppTivraDirectory(path))
        reason = QStringLiteral("O diretório \"") + path
            + QStringLiteral("\" não é um diretório AppTivra: não contém \"Executaveis\\Versoes.ini\" nem as pastas "
                             "\"Producao\", \"Bibliotecas\", \"Relatorios\" ou \"Executaveis\".");
    else
        reason = destinationConflict(edOrigem, path);
    if (reason.isEmpty() && !CheckPermissaoEscrita(session, localPath(path), false))
        reason = QStringLiteral("Sem permissão de escrita no diretório \"") + path + QStringLiteral("\".");
    cdsDestinos.setValue(row, kCanWrite, reason.isEmpty() ? kAprovado : kReprovado);
    setNote(row, reason);
    Q_EMIT changed();
    return reason;
}

QStringList SyncSvrs::RecusaDestinosSobrepostos()
{
    QStringList refused;
    for (int row = 0; row < cdsDestinos.count(); ++row) {
        if (cdsDestinos.text(row, kCanWrite) != kAprovado)
            continue;
        const QString conflict = destinationConflict(edOrigem, cdsDestinos.text(row, kPathDest));
        if (conflict.isEmpty())
            continue;
        cdsDestinos.setValue(row, kCanWrite, kReprovado);
        setNote(row, conflict);
        refused.append(conflict);
    }
    if (!refused.isEmpty())
        Q_EMIT changed();
    return refused;
}

QStringList SyncSvrs::Sincronizar()
{
    QStringList lines;
    QHash<QString, int> firstRow;  // folder key -> the row that copied it
    for (int row = 0; row < cdsDestinos.count(); ++row) {
        if (cdsDestinos.text(row, kCanWrite) != kAprovado)
            continue;
        const QString path = cdsDestinos.text(row, kPathDest);
        const QString line = QStringLiteral("Diretório \"") + path + QStringLiteral("\" - ");
        const QString key = folderKey(path);
        if (const auto first = firstRow.constFind(key); first != firstRow.constEnd()) {
            cdsDestinos.setValue(row, kStatus, cdsDestinos.text(*first, kStatus));
            setNote(row, QStringLiteral("Mesmo diretório da linha %1: copiado uma só vez.").arg(*first + 1));
            Q_EMIT changed();
            continue;
        }
        firstRow.insert(key, row);
        setNote(row, {});
        try {
            if (!QFileInfo(localPath(path)).isDir()) {
                // A destination that went away since it was checked (an unmounted share) is not
                // created anew: the copy would fill a folder nobody uses.
                const QString reason = QStringLiteral("O diretório não foi encontrado.");
                cdsDestinos.setValue(row, kStatus, kErro);
                setNote(row, reason);
                lines.append(line + reason);
            } else {
                FolderCopyRequest request;
                request.source = edOrigem;
                request.destination = path;
                request.mask = QStringLiteral("*.*");
                if (CopyFolder(session, request)) {
                    cdsDestinos.setValue(row, kStatus, kConcluido);
                    if (!request.skippedInUse.isEmpty()) {
                        setNote(row, QStringLiteral("Arquivo(s) em uso não atualizado(s): ")
                                         + request.skippedInUse.join(QStringLiteral(", ")));
                    }
                } else {
                    cdsDestinos.setValue(row, kStatus, kErro);
                    setNote(row, request.errorText);
                    lines.append(line + request.errorText);
                }
            }
        } catch (const std::exception &error) {
            const QString message = QString::fromLocal8Bit(error.what());
            setNote(row, message);
            lines.append(line + message);
        }
        Q_EMIT changed();
        session.ui.processEvents();
    }
    return lines;
}

bool SyncSvrs::btSyncClick()
{
    if (copying)
        return false;
    HabilitaSincronizar();
    if (!btSyncEnabled)
        return false;
    // The origin is checked again: a share that went away, or the preset origin, must not be
    // copied as an empty folder over every server.
    if (!isAppTivraDirectory(edOrigem)) {
        session.ui.warning(kInvalidCaption, QStringLiteral("Diretório selecionado inválido. Informe aqui o diretório "
                                                           "\"AppTivra\" de origem dos arquivos."));
        return false;
    }
    if (overlapBox(RecusaDestinosSobrepostos())) {
        HabilitaSincronizar();
        return false;
    }
    if (session.ui.question(QStringLiteral("Confirmar"),
                            QStringLiteral("Confirma a sincronização de arquivos? Esse processo pode demorar alguns "
                                           "minutos dependendo do desempenho de sua rede."))
        != UserInterface::Yes)
        return false;
    QStringList lines;
    {
        CopyingScope scope(*this);
        lines = Sincronizar();
    }
    if (lines.isEmpty()) {
        session.ui.information(QStringLiteral("Informação"), QStringLiteral("Sincronização de Arquivos Concluída!"));
        return true;
    }
    session.ui.warning(QStringLiteral("Erro"), QStringLiteral("Erro durante a sincronização de diretórios. Clique em OK "
                                                              "para salvar o log de erros gerados."));
    lines.prepend(kSyncErrorHeading);
    const QString file = session.ui.chooseSaveFile(QStringLiteral("Salvar Log de Erros"),
                                                   QStringLiteral("Arquivos de Texto (*.txt) | *.txt"), kSyncLogFileName);
    if (file.isEmpty())
        return false;
    QString error;
    if (!platform::writeTextItems(file, lines, &error)) {
        session.ui.error(QStringLiteral("Erro"), QStringLiteral("Não foi possível gravar o arquivo \"") + file
                                                     + QStringLiteral("\". Mensagem: ") + error);
        return false;
    }
    if (openDocument)
        openDocument(file);
    return false;
}

}  // namespace tivra
