#include "deploy/versoesini.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "deploy/fileaccess.h"
#include "deploy/stageerror.h"
#include "platform/fileversion.h"
#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>

namespace tivra {

namespace {

// Rewrites one section from the files found. Only a section that already holds keys is written:
// a found name equal (case-sensitive) to a key is deleted and written again, which moves it to
// the end of the section; any other found name is written in place (whatever the key's case) or
// appended.
void updateSection(platform::ProfileFile &ini, const QString &section, const QStringList &found,
                   const QStringList &current)
{
    if (current.isEmpty())
        return;
    QStringList currentKeys;
    for (const QString &line : current)
        currentKeys.append(line.left(line.indexOf(QLatin1Char('='))));
    for (const QString &line : found) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString name = line.left(equals);
        const QString version = line.mid(equals + 1);
        if (currentKeys.contains(name, Qt::CaseSensitive))
            ini.deleteKey(section, name);
        ini.writeString(section, name, version);
    }
}

}  // namespace

QString versoesIniPath(const QString &appDirectory)
{
    return localPath(joinPath(appDirectory, QStringLiteral("Executaveis/Versoes.ini")));
}

QStringList versionLines(const QString &folder)
{
    QStringList lines;
    const QDir dir(localPath(folder));
    if (!dir.exists())
        return lines;
    // Files only; hidden files (the system's hidden and system attributes) are left out. The
    // order is the one the Windows file system returns: by name, ignoring case.
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &file : files)
        lines.append(file.fileName() + QLatin1Char('=') + platform::fileVersionText(file.filePath()));
    return lines;
}

bool UpdateVersoesIni(InstallerSession &session)
{
    const QString &stage = kStageArquivoVersoes;
    if (!session.package.existBin) {
        session.UpdateStatus(QStringLiteral("Arquivo de versões ignorado da atualização (sem binários para atualizar). "
                                            "Etapa ignorada."),
                             true, stage, ImageIgnored, true);
        return true;
    }
    const QString &appDirectory = session.pathAppTivra;
    const QString path = versoesIniPath(appDirectory);
    if (!QFileInfo(path).isFile()) {
        session.UpdateStatus(QStringLiteral("Atualização do arquivo \"Versoes.ini\" ignorada. Arquivo não encontrado no "
                                            "diretório \"")
                                 + appDirectory + QStringLiteral("\"."),
                             true, stage, ImageIgnored, true);
        return true;
    }
    session.UpdateStatus(QStringLiteral("Atualizando Versoes INI (") + appDirectory + QLatin1Char(')'), true, stage,
                         ImageSuccess, true);

    const QStringList components = versionLines(joinPath(appDirectory, QStringLiteral("Producao/Bin/Clients")));
    const QStringList libraries = versionLines(joinPath(appDirectory, QStringLiteral("Bibliotecas")));

    platform::ProfileFile ini(path);
    const QString componentes = QStringLiteral("Componentes");
    const QString bibliotecas = QStringLiteral("Bibliotecas");
    const QStringList currentComponents = ini.sectionLines(componentes);
    const QStringList currentLibraries = ini.sectionLines(bibliotecas);
    updateSection(ini, componentes, components, currentComponents);
    updateSection(ini, bibliotecas, libraries, currentLibraries);

    // A file that cannot be written is not this stage's to handle: the error ends the run.
    QString failure;
    if (ini.isModified() && hasReadOnlyAttribute(path))
        failure = QStringLiteral("Acesso negado: o arquivo é somente leitura.");
    else if (!ini.flush(&failure) && failure.isEmpty())
        failure = QStringLiteral("erro de gravação");
    if (!failure.isEmpty()) {
        throw StageError(QStringLiteral("Não foi possível gravar o arquivo \"") + path + QStringLiteral("\". Mensagem: ")
                         + failure);
    }
    session.UpdateStatus(QStringLiteral("     Arquivo \"Versoes.ini\" atualizado com sucesso."), true, stage,
                         ImageSuccess, true);
    return true;
}

}  // namespace tivra
