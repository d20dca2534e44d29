#include "tools/synccommand.h"

#include "core/session.h"
#include "platform/textfile.h"
#include "tools/syncsvrs.h"

#include <QDir>
#include <QFileInfo>

namespace tivra {

namespace {
const QString kUsage = QStringLiteral("Uso: tivra-installer /sync:ORIGEM /to:DESTINO1 [/to:DESTINO2 ...] /quiet");
}

SyncCommand parseSyncCommand(const QStringList &arguments)
{
    SyncCommand command;
    int origins = 0;
    bool emptyDestination = false;
    for (const QString &argument : arguments) {
        if (argument.startsWith(QStringLiteral("/sync:"))) {
            command.requested = true;
            command.origin = argument.mid(6).trimmed();
            ++origins;
        } else if (argument.startsWith(QStringLiteral("/to:"))) {
            command.requested = true;
            const QString destination = argument.mid(4).trimmed();
            if (destination.isEmpty())
                emptyDestination = true;
            else
                command.destinations.append(destination);
        }
    }
    if (!command.requested)
        return command;
    if (origins > 1)
        command.problem = QStringLiteral("O diretório de origem (/sync:) foi informado mais de uma vez.");
    else if (command.origin.isEmpty())
        command.problem = QStringLiteral("Informe o diretório de origem dos arquivos (/sync:ORIGEM).");
    else if (emptyDestination)
        command.problem = QStringLiteral("Um diretório de destino (/to:) foi informado vazio.");
    else if (command.destinations.isEmpty())
        command.problem = QStringLiteral("Informe ao menos um diretório de destino (/to:DESTINO).");
    return command;
}

int runSyncCommand(InstallerSession &session, const SyncCommand &command, const QString &logFile,
                   const std::function<void(const QString &line)> &print)
{
    if (!command.problem.isEmpty()) {
        print(command.problem);
        print(kUsage);
        return SyncExitFailed;
    }
    SyncSvrs sync(session);
    sync.origemPadrao = command.origin;
    sync.FormShow();
    const bool originValid = isAppTivraDirectory(command.origin) && endsWithAppTivra(command.origin);
    if (!originValid) {
        print(QStringLiteral("Diretório de origem \"") + command.origin
              + QStringLiteral("\" inválido: Diretório selecionado inválido. Informe aqui o diretório \"AppTivra\" de "
                               "origem dos arquivos."));
    }
    for (const QString &destination : command.destinations)
        sync.AdicionaDestinoDigitado(destination);
    sync.HabilitaSincronizar();
    const bool blocked = !originValid || !sync.btSyncEnabled;
    const QStringList errorLines = blocked ? QStringList() : sync.Sincronizar();

    bool allCopied = !blocked;
    for (int row = 0; row < sync.cdsDestinos.count(); ++row) {
        const QString head = QStringLiteral("Diretório \"") + sync.cdsDestinos.text(row, QStringLiteral("PATH_DEST"))
            + QStringLiteral("\" - ");
        const QString note = sync.rowNote(row);
        const QString status = sync.cdsDestinos.text(row, QStringLiteral("STATUS"));
        if (sync.cdsDestinos.text(row, QStringLiteral("CAN_WRITE")) == kReprovado) {
            print(head + kReprovado + QStringLiteral(": ") + note);
        } else if (blocked) {
            print(head + QStringLiteral("Não sincronizado: ")
                  + (originValid ? QStringLiteral("há destinos reprovados, nenhum arquivo foi copiado.")
                                 : QStringLiteral("origem inválida, nenhum arquivo foi copiado.")));
        } else if (status == kConcluido) {
            print(head + kConcluido + (note.isEmpty() ? QString() : QStringLiteral(" (") + note + QLatin1Char(')')));
        } else {
            allCopied = false;
            print(head + kErro + QStringLiteral(": ") + note);
        }
    }
    if (!errorLines.isEmpty()) {
        QDir().mkpath(QFileInfo(logFile).absolutePath());
        QString error;
        if (platform::writeTextItems(logFile, QStringList{kSyncErrorHeading} + errorLines, &error))
            print(QStringLiteral("Log de erros: ") + QDir::toNativeSeparators(logFile));
        else
            print(QStringLiteral("Não foi possível gravar o log de erros \"") + logFile + QStringLiteral("\". Mensagem: ") + error);
    }
    print(allCopied ? QStringLiteral("Sincronização de Arquivos Concluída!")
                    : QStringLiteral("Erro durante a sincronização de diretórios."));
    return allCopied ? SyncExitCopied : SyncExitFailed;
}

}  // namespace tivra
