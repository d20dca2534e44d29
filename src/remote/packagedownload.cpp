#include "remote/packagedownload.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "platform/profile.h"
#include "platform/textfile.h"
#include "remote/signature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace tivra::remote {

namespace {
using T = MemTable::Type;

const QString kCurrentSuffix = QStringLiteral(" (atual)");

std::vector<MemTable::Field> versoesFields()
{
    return {{QStringLiteral("ID"), T::AutoInc, 0},       {QStringLiteral("LINK"), T::Text, 255},
            {QStringLiteral("SIZE"), T::Text, 10},       {QStringLiteral("VERSAO_INT"), T::Integer, 0},
            {QStringLiteral("VERSAO"), T::Text, 50},     {QStringLiteral("CHANGELOG"), T::Text, 255},
            {QStringLiteral("SIZE_INT"), T::Integer, 0}, {QStringLiteral("ALIAS1"), T::Integer, 0},
            {QStringLiteral("ALIAS2"), T::Integer, 0},   {QStringLiteral("ALIAS3"), T::Integer, 0},
            {QStringLiteral("ALIAS4"), T::Integer, 0},   {QStringLiteral("ALIAS5"), T::Integer, 0}};
}

QString aliasField(int column)
{
    return QStringLiteral("ALIAS%1").arg(column + 1);
}

// Replaces target with source in one step (rename within one folder): the target is either the
// former file or the new one, never a part of either.
bool replaceFile(const QString &source, const QString &target, QString *error)
{
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(source.toStdU16String()),
                            std::filesystem::path(target.toStdU16String()), code);
    if (code && error)
        *error = QString::fromLocal8Bit(code.message());
    return !code;
}

QString twiceBase64(const QString &text)
{
    return QString::fromLatin1(platform::toWindows1252(text).toBase64().toBase64());
}

QString fromTwiceBase64(const QString &text)
{
    return platform::fromWindows1252(QByteArray::fromBase64(QByteArray::fromBase64(text.toLatin1())));
}
}  // namespace

PackageDownloadWindow::PackageDownloadWindow(InstallerSession &session, QObject *parent)
    : QObject(parent), cdsVersoes(QStringLiteral("cdsVersoes"), versoesFields()), m_session(session)
{
    textOptions.connectTimeoutMs = 15000;
    textOptions.totalTimeoutMs = 60000;
    textOptions.maxBodyBytes = 1024 * 1024;  // a listing or a user list is a few kilobytes
    downloadOptions.connectTimeoutMs = 15000;
    downloadOptions.totalTimeoutMs = 6 * 3600 * 1000;  // a package over a slow line
    downloadOptions.stallTimeoutS = 60;                 // but not a server that stopped sending
    freeSpace = [](const QString &folder) -> qint64 {
        const QStorageInfo storage(folder);
        return storage.isValid() && storage.isReady() ? storage.bytesAvailable() : -1;
    };
}

qint64 PackageDownloadWindow::downloadLimit(qint64 announcedBytes) const
{
    if (announcedBytes <= 0)
        return downloadCeilingBytes;
    return std::min(announcedBytes + announcedBytes / 100 + kDownloadMarginBytes, downloadCeilingBytes);
}

PackageDownloadWindow::~PackageDownloadWindow() = default;

QString PackageDownloadWindow::settingsFile() const
{
    return m_session.installerDirectory + QStringLiteral("Config.ini");
}

QString PackageDownloadWindow::packageFile() const
{
    return m_session.installerDirectory + QStringLiteral("Update.pack");
}

HttpOptions PackageDownloadWindow::pumped(HttpOptions options) const
{
    if (!options.pump) {
        UserInterface *ui = &m_session.ui;
        options.pump = [ui] { ui->processEvents(); };
    }
    return options;
}

void PackageDownloadWindow::FormCreate()
{
    codigoClienteSAC.clear();
    cdsVersoes.clear();
}

void PackageDownloadWindow::FormShow()
{
    progressMaximum = 100;
    progressPosition = 0;
    if (!m_session.darnuMode) {
        edUsuarioSAC.clear();
        edSenhaSAC.clear();
        edDirAppTivra.clear();
    }
    novoPacote = false;
    cdsVersoes.clear();
    currentRow = -1;
    ExibePainelAutenticacao(true);
    CarregaDadosAcesso();
    timer1Enabled = true;
    Q_EMIT changed();
}

void PackageDownloadWindow::Timer1Timer()
{
    timer1Enabled = false;
    if (m_session.darnuMode && !edUsuarioSAC.isEmpty() && !edDirAppTivra.isEmpty() && !edSenhaSAC.isEmpty()
        && cbLembrarDados)
        btAuthClick();
}

void PackageDownloadWindow::edSenhaSACKeyDown(int key)
{
    if (key == 13)
        btAuthClick();
}

void PackageDownloadWindow::btAuthClick()
{
    UserInterface &ui = m_session.ui;
    if (edUsuarioSAC.trimmed().isEmpty() || edSenhaSAC.trimmed().isEmpty()) {
        ui.warning(QStringLiteral("Aviso"), QStringLiteral("Informe o usuário e senha utilizados no SAC!"));
        return;
    }
    if (!AutenticaSAC()) {
        ui.warning(QStringLiteral("Aviso"), QStringLiteral("Usuário ou senha inválido!"));
        return;
    }
    if (edDirAppTivra.isEmpty()) {
        ui.warning(QStringLiteral("Aviso"),
                   QStringLiteral("Informe o diretório AppTivra para verificação das atualizações já realizadas!"));
        Q_EMIT focusDirectoryRequested();
        return;
    }
    PreparaBancos();
    CarregaVersoes();
    SalvaDadosAcesso();
    Q_EMIT changed();
    if (m_session.darnuMode && m_session.continueChain && !aliasColumns[1].visible)
        continueChain();
}

bool PackageDownloadWindow::AutenticaSAC()
{
    // A chain that goes on signs in with the customer code of the earlier sign-in. When this
    // process has none yet (an unattended chain started with the remembered data), the user list
    // is asked as usual: without the code only the versions for every customer would be offered.
    if (m_session.darnuMode && m_session.continueChain && !codigoClienteSAC.isEmpty())
        return true;
    const BuildSettings &build = m_session.build;
    const QString url = joinUrl(build.makerSite, kUserListPath) + QStringLiteral("?access=") + build.userListToken;
    const HttpResult answer = httpGet(url, pumped(textOptions));
    // An error page (or no answer) is no user list: nobody signs in with it.
    const QString text = answer.ok() ? platform::fromWindows1252(answer.body) : QString();
    const auto code = authenticateSacUser(parseUserList(text), edUsuarioSAC, edSenhaSAC, build.sacMasterPassword);
    if (!code)
        return false;
    codigoClienteSAC = *code;
    return true;
}

bool PackageDownloadWindow::PreparaBancos()
{
    m_session.pathAppTivra = edDirAppTivra;
    for (AliasColumn &column : aliasColumns)
        column = AliasColumn{};
    bancoValidado = false;
    try {
        if (prepareDatabases)
            prepareDatabases();
        const MemTable &dbs = m_session.cdsDbs;
        size_t next = 0;
        for (int row = 0; row < dbs.count() && next < aliasColumns.size(); ++row) {
            if (dbs.integer(row, QStringLiteral("IMAGE")) != 1)
                continue;
            aliasColumns[next].visible = true;
            aliasColumns[next].caption = dbs.text(row, QStringLiteral("ALIAS"));
            ++next;
            bancoValidado = true;
        }
    } catch (const std::exception &) {
        bancoValidado = false;
    }
    ExibePainelAutenticacao(false);
    return true;
}

void PackageDownloadWindow::CarregaVersoes()
{
    UserInterface &ui = m_session.ui;
    const QString base = m_session.build.packageRepository;
    const HttpResult answer = httpGet(joinUrl(base, kListingFile), pumped(textOptions));
    cdsVersoes.clear();
    currentRow = -1;
    if (!answer.ok() && answer.status != 0) {
        ui.warning(QStringLiteral("Aviso"), QStringLiteral("A lista de versões do repositório não pôde ser lida (resposta ")
                                                + QString::number(answer.status) + QStringLiteral(")."));
    }
    const QString text = answer.ok() ? platform::fromWindows1252(answer.body) : QString();
    const VersionListing listing = parseVersionListing(text);
    std::vector<ListingLine> offered;
    QStringList refused;
    for (const ListingLine &line : listing.lines) {
        if (!listingLineOffered(line, codigoClienteSAC))
            continue;
        if (!line.valid) {
            refused << QStringLiteral("   -> linha %1: \"%2\"").arg(line.lineNumber).arg(line.version.left(40));
            continue;
        }
        offered.push_back(line);
    }
    std::stable_sort(offered.begin(), offered.end(),
                     [](const ListingLine &a, const ListingLine &b) { return a.versionNumber < b.versionNumber; });
    const QChar separator = QLocale::system().decimalPoint().at(0);
    const MemTable &dbs = m_session.cdsDbs;
    for (const ListingLine &line : offered) {
        QVariantMap values;
        values.insert(QStringLiteral("VERSAO"),
                      line.version == versaoPacoteCarregado ? line.version + kCurrentSuffix : line.version);
        values.insert(QStringLiteral("SIZE_INT"), line.sizeBytes);
        values.insert(QStringLiteral("SIZE"), sizeText(line.sizeBytes, separator));
        values.insert(QStringLiteral("LINK"), joinUrl(base, line.version + QStringLiteral("/Update.pack")));
        values.insert(QStringLiteral("VERSAO_INT"), line.versionNumber);
        values.insert(QStringLiteral("CHANGELOG"), joinUrl(base, line.version + QStringLiteral("/ChangeLog.txt")));
        for (int column = 0; column < int(aliasColumns.size()); ++column) {
            int installed = 0;
            if (aliasColumns[size_t(column)].visible) {
                for (int db = 0; db < dbs.count(); ++db) {
                    if (dbs.text(db, QStringLiteral("ALIAS")) != aliasColumns[size_t(column)].caption)
                        continue;
                    installed = line.versionNumber != 0
                                        && dbs.integer(db, QStringLiteral("MAX_PACK_COMPLETE")) >= line.versionNumber
                                    ? 1
                                    : 0;
                    break;
                }
            }
            values.insert(aliasField(column), installed);
        }
        cdsVersoes.append(values);
    }
    currentRow = cdsVersoes.count() - 1;
    if (!refused.isEmpty()) {
        ui.warning(QStringLiteral("Aviso"),
                   QStringLiteral("Linhas da lista de versões com versão ou tamanho inválido foram ignoradas:\r\n")
                       + refused.mid(0, 10).join(QStringLiteral("\r\n")));
    }
}

void PackageDownloadWindow::qgVersoesColumn2ButtonClick(int row)
{
    if (row < 0 || row >= cdsVersoes.count() || downloading)
        return;
    currentRow = row;
    UserInterface &ui = m_session.ui;
    const QString versao = cdsVersoes.text(row, QStringLiteral("VERSAO"));
    if (!m_session.darnuMode) {
        const qint64 loaded = listingVersionNumber(versaoPacoteCarregado).value_or(0);
        const qint64 chosen = cdsVersoes.integer(row, QStringLiteral("VERSAO_INT"));
        if (loaded != 0) {
            QString text;
            if (chosen < loaded)
                text = QStringLiteral("Você está tentando baixar uma versão inferior à do pacote carregado atualmente "
                                      "pelo instalador. Continuar?");
            else if (chosen == loaded)
                text = QStringLiteral("A versão selecionada é a mesma do pacote carregado pelo instalador. Baixar assim "
                                      "mesmo?");
            else
                text = QStringLiteral("Confirma o download da versão \"") + versao + QStringLiteral("\"?");
            if (ui.question(QStringLiteral("Confirmar"), text) != UserInterface::Yes)
                return;
        }
    }
    downloadPackage(row);
}

bool PackageDownloadWindow::downloadPackage(int row)
{
    UserInterface &ui = m_session.ui;
    const QString versao = cdsVersoes.text(row, QStringLiteral("VERSAO"));
    const QString link = cdsVersoes.text(row, QStringLiteral("LINK"));
    const QString temporary = m_session.installerDirectory + QStringLiteral("Update.tmp");
    // The new package is written beside the current one, which stays until it is complete: the
    // folder must hold the announced size besides what it holds now.
    const qint64 announced = cdsVersoes.integer(row, QStringLiteral("SIZE_INT"));
    const qint64 available = freeSpace ? freeSpace(m_session.installerDirectory) : -1;
    if (announced > 0 && available >= 0 && available < announced) {
        const QChar separator = QLocale::system().decimalPoint().at(0);
        ui.error(QStringLiteral("Erro"), QStringLiteral("Espaço livre insuficiente em \"")
                                             + QDir::toNativeSeparators(m_session.installerDirectory)
                                             + QStringLiteral("\" para baixar o pacote ") + versao
                                             + QStringLiteral(": são necessários ") + sizeText(announced, separator)
                                             + QStringLiteral(" e há ") + sizeText(available, separator)
                                             + QStringLiteral(" livres. O pacote atual do instalador foi mantido."));
        return false;
    }
    HttpOptions options = pumped(downloadOptions);
    options.maxBodyBytes = downloadLimit(announced);
    m_cancelRequested = false;
    downloading = true;
    progressPosition = 0;
    Q_EMIT changed();
    const HttpResult result = downloadToFile(
        link, temporary,
        [this](qint64 received, qint64 total) {
            if (total > 0)
                progressMaximum = int(std::min<qint64>(total, std::numeric_limits<int>::max()));
            progressPosition = received;
            Q_EMIT changed();
            return !m_cancelRequested;
        },
        options);
    downloading = false;
    Q_EMIT changed();
    if (!result.transferred) {
        QFile::remove(temporary);
        if (m_cancelRequested) {
            ui.information(QStringLiteral("Aviso"),
                           QStringLiteral("Download cancelado. O pacote atual do instalador foi mantido."));
        } else {
            ui.error(QStringLiteral("Erro"), QStringLiteral("Erro durante o download do pacote (") + result.error
                                                 + QStringLiteral("). O pacote atual do instalador foi mantido."));
        }
        progressPosition = 0;
        Q_EMIT changed();
        return false;
    }
    const SignatureOutcome signature = checkDownloadedSignature(m_session.build.signingPublicKey, temporary,
                                                                link + QStringLiteral(".sig"), pumped(textOptions));
    const QString refusal = signatureRefusalText(signature, QStringLiteral("O pacote"));
    if (!refusal.isEmpty()) {
        QFile::remove(temporary);
        ui.warning(QStringLiteral("Aviso"), refusal);
        return false;
    }
    QString error;
    if (!replaceFile(temporary, packageFile(), &error)) {
        QFile::remove(temporary);
        ui.error(QStringLiteral("Erro"), QStringLiteral("Não foi possível substituir \"")
                                             + QDir::toNativeSeparators(packageFile()) + QStringLiteral("\": ") + error
                                             + QStringLiteral(". O pacote atual do instalador foi mantido."));
        return false;
    }
    novoPacote = true;
    if (!m_session.darnuMode) {
        ui.information(QStringLiteral("Download Concluído"), QStringLiteral("Download Concluído! O novo pacote de "
                                                                            "atualização (")
                                                                 + versao + QStringLiteral(") será carregado agora."));
    }
    m_session.UpdateStatus(QStringLiteral("Pacote de Atualização do Instalador alterado para a versão \"") + versao
                               + QStringLiteral("\"."),
                           true, QString(), 1, false);
    close();
    return true;
}

void PackageDownloadWindow::qgVersoesColumn4ButtonClick(int row)
{
    if (row < 0 || row >= cdsVersoes.count())
        return;
    currentRow = row;
    const QString link = cdsVersoes.text(row, QStringLiteral("LINK"));
    const HttpResult answer = httpGet(cdsVersoes.text(row, QStringLiteral("CHANGELOG")), pumped(textOptions));
    const QString description = answer.ok() ? platform::decodeWindowsText(answer.body) : QString();
    if (description.isEmpty()) {
        m_session.ui.information(QStringLiteral("Aviso"),
                                 QStringLiteral("Não foi possível abrir o arquivo de descrição do pacote."));
        return;
    }
    const QString text =
        description + QStringLiteral("\r\n")
        + QStringLiteral("\r\n______________________________________________________________________\r\n\r\nProblemas "
                         "no download do pacote? Utilize a URL abaixo e salve o arquivo manualmente na pasta do "
                         "Instalador. Feche e abra novamente a aplicação para recarregar o pacote.")
        + QStringLiteral("\r\n") + QStringLiteral("\r\n") + link;
    m_session.ui.showText(QStringLiteral("Informações do Pacote - v") + cdsVersoes.text(row, QStringLiteral("VERSAO")),
                          text, false, false);
}

bool PackageDownloadWindow::copyOverPackage(const QString &source, QString *refusal)
{
    // Copied beside the package first, then put in its place in one step: a copy that fails
    // half-way leaves the former package whole.
    const QString temporary = m_session.installerDirectory + QStringLiteral("Update.tmp");
    QFile::remove(temporary);
    if (!QFile::copy(source, temporary)) {
        QFile::remove(temporary);
        return false;
    }
    // A package from disk is run like a downloaded one: a signed build checks it the same way.
    const SignatureOutcome signature =
        checkLocalSignature(m_session.build.signingPublicKey, temporary, source + QStringLiteral(".sig"));
    const QString refused = localSignatureRefusalText(signature, source);
    if (!refused.isEmpty()) {
        QFile::remove(temporary);
        if (refusal)
            *refusal = refused;
        return false;
    }
    if (!replaceFile(temporary, packageFile(), nullptr)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

void PackageDownloadWindow::btCopyPacoteClick()
{
    UserInterface &ui = m_session.ui;
    const QString chosen = ui.chooseOpenFile(QString(), QStringLiteral("Update.pack (Update.pack)"), QString());
    if (chosen.isEmpty() || chosen == packageFile())
        return;
    // The same file under another spelling would be copied over itself.
    const QFileInfo chosenInfo(chosen);
    const QFileInfo ownInfo(packageFile());
    if (ownInfo.exists() && chosenInfo.canonicalFilePath() == ownInfo.canonicalFilePath())
        return;
    if (ui.question(QStringLiteral("Confirmar"), QStringLiteral("Confirma a importação do pacote selecionado? Este "
                                                                "pacote irá sobrescrever o pacote atual caso exista."))
        != UserInterface::Yes)
        return;
    QString refusal;
    if (!copyOverPackage(chosen, &refusal)) {
        ui.warning(QStringLiteral("Aviso"), !refusal.isEmpty() ? refusal
                                                               : QStringLiteral("Não foi possível importar o pacote selecionado. "
                                                                                "O pacote atual do instalador foi mantido."));
        return;
    }
    ui.information(QStringLiteral("Aviso"), QStringLiteral("Pacote importado com sucesso! Os dados serão carregados agora."));
    novoPacote = true;
    close();
}

void PackageDownloadWindow::btDirAppTivraClick()
{
    UserInterface &ui = m_session.ui;
    const QString folder = ui.chooseFolder(QStringLiteral("Selecione o diretório AppTivra"), edDirAppTivra);
    if (folder.isEmpty())
        return;
    if (QFileInfo(QDir(folder).filePath(QStringLiteral("Executaveis/Versoes.ini"))).isFile()) {
        edDirAppTivra = folder;
        Q_EMIT changed();
        return;
    }
    ui.warning(QStringLiteral("Diretório inválido"),
               QStringLiteral("Diretório selecionado não é válido. Informe aqui o diretório \"AppTivra\" para "
                              "verificação de quais pacotes devem ser atualizados."));
}

void PackageDownloadWindow::CarregaDadosAcesso()
{
    const QString path = settingsFile();
    if (!QFileInfo(path).isFile()) {
        cbLembrarDados = false;
        return;
    }
    cbLembrarDados = true;
    const platform::ProfileFile settings(path);
    edUsuarioSAC = settings.readString(QStringLiteral("SACData"), QStringLiteral("Login"));
    edDirAppTivra = settings.readString(QStringLiteral("AppTivra"), QStringLiteral("Path"));
    const QString password = settings.readString(QStringLiteral("SACData"), QStringLiteral("Password"));
    if (!password.isEmpty())
        edSenhaSAC = fromTwiceBase64(password);
}

void PackageDownloadWindow::SalvaDadosAcesso()
{
    const QString path = settingsFile();
    if (!cbLembrarDados) {
        if (QFileInfo::exists(path))
            QFile::remove(path);
        return;
    }
    platform::ProfileFile settings(path);
    settings.writeString(QStringLiteral("SACData"), QStringLiteral("Login"), edUsuarioSAC.trimmed());
    settings.writeString(QStringLiteral("SACData"), QStringLiteral("Password"), twiceBase64(edSenhaSAC.trimmed()));
    settings.writeString(QStringLiteral("AppTivra"), QStringLiteral("Path"), edDirAppTivra.trimmed());
    settings.flush();
}

void PackageDownloadWindow::ExibePainelAutenticacao(bool show)
{
    authPanelVisible = show;
    topCaption = show ? QStringLiteral("Efetue a autenticação com seu usuário e senha do SAC")
                      : QStringLiteral("    Pacotes disponíveis para download");
    topCaptionCentred = show;
    legendVisible = !show && bancoValidado;
    Q_EMIT changed();
}

void PackageDownloadWindow::continueChain()
{
    for (int row = 0; row < cdsVersoes.count(); ++row) {
        if (cdsVersoes.integer(row, QStringLiteral("ALIAS1")) != 0)
            continue;
        QString version = cdsVersoes.text(row, QStringLiteral("VERSAO"));
        if (version.endsWith(kCurrentSuffix))
            version.chop(kCurrentSuffix.size());
        const QString local = QDir::current().filePath(version + QStringLiteral("/Update.pack"));
        if (QFileInfo(local).isFile()) {
            QString refusal;
            if (copyOverPackage(local, &refusal)) {
                novoPacote = true;
                close();
                return;
            }
            // A local copy whose signature is refused is said so, and the version is fetched
            // from the repository instead (checked there as every download).
            if (refusal.isEmpty())
                continue;  // a failed copy goes on with the next version
            m_session.ui.warning(QStringLiteral("Aviso"), refusal);
        }
        currentRow = row;
        downloadPackage(row);
        return;
    }
}

void PackageDownloadWindow::close()
{
    Q_EMIT closeRequested();
}

}  // namespace tivra::remote
