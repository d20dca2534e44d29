#include "package/extractfiles.h"

#include "core/progress.h"
#include "core/session.h"
#include "package/packagearchive.h"

#include <QDir>

#include <exception>

namespace tivra {

bool ExtractFiles(InstallerSession &session)
{
    const QString &stage = kStagePreparacaoPacote;
    // One level only, and it must not exist yet: a folder left over from a failed clean-up would
    // mix its files with the package's.
    if (!QDir().mkdir(session.workingFolder)) {
        session.UpdateStatus(QStringLiteral("O diretório \"") + session.installerDirectory +
                                 QStringLiteral("\" precisa de permissão de escrita para extração do pacote!"),
                             true, stage, ImageError, true);
        return false;
    }
    session.UpdateStatus(QStringLiteral("Preparando o pacote para atualização..."), true, stage, ImageSuccess, true);
    bool failed = false;
    QString failure;
    try {
        // The files are counted for the progress shown (which keeps the window alive through a
        // package of hundreds of megabytes); the counting ends with the stage.
        StatusLog &status = session.status;
        extractPackage(session, QStringLiteral("*.*"), [&status](int done, int total) {
            status.reportProgress(done, total, ProgressUnit::Files);
        });
    } catch (const PackageError &error) {
        failed = true;
        failure = error.message();
    } catch (const std::exception &error) {
        failed = true;
        failure = QString::fromLocal8Bit(error.what());
    }
    session.status.endProgress();
    if (failed) {
        session.UpdateStatus(QStringLiteral("Erro durante a extração do pacote de atualização. Mensagem: ") + failure,
                             true, stage, ImageError, false);
        session.UpdateStatus(
            QStringLiteral("     Erro durante a extração do pacote. Veja os detalhes no arquivo de Log."), false, stage,
            ImageError, true);
        return false;
    }
    session.UpdateStatus(QStringLiteral("     Arquivos extraídos com sucesso!"), true, stage, ImageSuccess, true);
    return true;
}

}  // namespace tivra
