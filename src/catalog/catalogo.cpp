#include "catalog/catalogo.h"

#include "catalog/catalogimport.h"
#include "catalog/catalogindex.h"
#include "catalog/mensagens.h"
#include "catalog/restrfunc.h"
#include "catalog/tabestrut.h"
#include "core/session.h"
#include "core/userinterface.h"
#include "db/versionchecks.h"
#include "db/versiontables.h"
#include "package/packagearchive.h"
#include "platform/trash.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <set>

namespace tivra {

namespace {

const QString kIndexName = QStringLiteral("index.xml");

void logLine(InstallerSession &session, const QString &text, int image)
{
    session.UpdateStatus(text, true, QString(), image, false);
}

void statusRow(InstallerSession &session, const QString &text, const QString &stage, int image)
{
    session.UpdateStatus(text, true, stage, image, true);
}

QString inWorkingFolder(const InstallerSession &session, const QString &name)
{
    return QDir(session.workingFolder).filePath(name);
}

QString alias(const InstallerSession &session, int entry)
{
    return session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
}

std::vector<int> validatedEntries(const InstallerSession &session)
{
    std::vector<int> entries;
    for (int row = 0; row < session.cdsDbs.count(); ++row) {
        if (session.cdsDbs.integer(row, QStringLiteral("IMAGE")) == ImageSuccess)
            entries.push_back(row);
    }
    return entries;
}

// The catalog archive holds its files at its root: a member with a folder is refused before
// anything is unpacked.
void requireFlatArchive(const PackageReader &reader)
{
    for (const QString &name : reader.memberNames()) {
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
            throw PackageError(QStringLiteral("O arquivo de catálogo contém o membro \"") + name +
                               QStringLiteral("\" em uma pasta; os arquivos do catálogo devem estar na raiz."));
    }
}

// Empties the catalog folder: deleted (to the trash) and created again; when the deletion fails
// the old folder is used with whatever it holds.
void prepareCatalogFolder(const QString &folder)
{
    if (QFileInfo::exists(folder)) {
        if (platform::deleteFolderToTrash(folder))
            QDir().mkpath(folder);
    } else {
        QDir().mkpath(folder);
    }
}

}  // namespace

QString catalogFolder(const InstallerSession &session)
{
    return inWorkingFolder(session, QStringLiteral("Catalogo"));
}

void ReadIndexCatalogo(InstallerSession &session)
{
    const QString path = inWorkingFolder(session, kIndexName);
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    session.cdsCatalogo.clear();
    QString error;
    std::vector<CatalogIndexRow> rows;
    bool ok = false;
    if (!opened) {
        error = QStringLiteral("Não foi possível abrir \"") + path + QStringLiteral("\": ") + file.errorString();
    } else {
        const QByteArray bytes = file.readAll();
        ok = parseCatalogIndex(bytes.constData(), size_t(bytes.size()), rows, &error);
    }
    for (const CatalogIndexRow &row : rows) {
        QVariantMap values;
        values.insert(QStringLiteral("NOME_TABELA"), row.nomeTabela);
        values.insert(QStringLiteral("ID_TABELA"), row.idTabela);
        if (row.hasTabEstrut) {
            values.insert(QStringLiteral("COD_TAB_EST"), row.codTabEst);
            values.insert(QStringLiteral("DESCR_TAB_ESTRUTURADA"), row.descrTabEstrut);
        }
        session.cdsCatalogo.append(values);
    }
    if (!ok)
        logLine(session, QStringLiteral("Erro durante a interpretação do XML do Catálogo de Tabelas. Mensagem: ") + error, ImageError);
}

void ReadCatalogo(InstallerSession &session)
{
    try {
        {
            PackageReader pack(packageFilePath(session), session.build.packagePassword);
            pack.extract(kCatalogArchiveName, session.workingFolder);
        }
        const QString archive = inWorkingFolder(session, kCatalogArchiveName);
        if (QFileInfo::exists(archive)) {
            PackageReader reader(archive, QString());
            reader.extract(kIndexName, session.workingFolder);
        }
        if (QFileInfo::exists(inWorkingFolder(session, kIndexName)))
            ReadIndexCatalogo(session);
        if (!removeWorkingFolder(session))
            throw PackageError(QStringLiteral("Não foi possível remover a pasta de trabalho \"") + session.workingFolder + QStringLiteral("\"."));
    } catch (const PackageError &e) {
        logLine(session, QStringLiteral("Erro durante a leitura do arquivo de catálogo. Mensagem: ") + e.message(), ImageError);
    } catch (const std::exception &e) {
        logLine(session, QStringLiteral("Erro durante a leitura do arquivo de catálogo. Mensagem: ") + QString::fromUtf8(e.what()),
                ImageError);
    }
}

std::optional<DataPacket> LoadCdsCatalogo(InstallerSession &session, const QString &fileName)
{
    try {
        // Extraction stored a file named like a Windows device ("Com1.cds") under its changed name.
        return readDataPacketFile(QDir(catalogFolder(session)).filePath(platform::storedName(fileName)));
    } catch (const DataPacketError &e) {
        logLine(session, e.message(), ImageError);
    } catch (const std::exception &e) {
        logLine(session, QString::fromUtf8(e.what()), ImageError);
    }
    return std::nullopt;
}

bool ReadCdsCatalogo(InstallerSession &session, LoadedCatalog &catalog)
{
    try {
        catalog = LoadedCatalog();
        const MemTable &list = session.cdsCatalogo;
        std::set<qint64> seen;
        for (int row = 0; row < list.count(); ++row) {
            const qint64 id = list.integer(row, QStringLiteral("ID_TABELA"));
            if (!seen.insert(id).second)
                continue;
            TablePackets table;
            table.idTabela = id;
            table.nomeTabela = list.text(row, QStringLiteral("NOME_TABELA"));
            catalog.tables.push_back(std::move(table));
        }
        for (TablePackets &table : catalog.tables) {
            const QString id = QString::number(table.idTabela);
            table.tab = LoadCdsCatalogo(session, QStringLiteral("Tab") + id + QStringLiteral(".cds"));
            table.col = LoadCdsCatalogo(session, QStringLiteral("Col") + id + QStringLiteral(".cds"));
            table.com = LoadCdsCatalogo(session, QStringLiteral("Com") + id + QStringLiteral(".cds"));
            table.tcl = LoadCdsCatalogo(session, QStringLiteral("TCl") + id + QStringLiteral(".cds"));
            table.tcp = LoadCdsCatalogo(session, QStringLiteral("TCp") + id + QStringLiteral(".cds"));
        }
        for (int row = 0; row < list.count(); ++row) {
            const qint64 code = list.integer(row, QStringLiteral("COD_TAB_EST"));
            if (code == 0)
                continue;
            catalog.tabEstrut.push_back(LoadCdsCatalogo(
                session, QStringLiteral("TE") + QString::number(list.integer(row, QStringLiteral("ID_TABELA"))) + QLatin1Char('_') +
                             QString::number(code) + QStringLiteral(".cds")));
            ++catalog.tabEstrutCount;
        }
        return true;
    } catch (const std::exception &e) {
        logLine(session, QString::fromUtf8(e.what()), ImageError);
        return false;
    }
}

CatalogImporters &catalogImporters()
{
    static CatalogImporters importers{
        ImportaCatalogoMulti,
        [](InstallerSession &session, int entry, const LoadedCatalog &catalog) { ImportaTabEstrutMulti(session, entry, catalog.tabEstrut); },
        [](InstallerSession &session, int entry) { ImportaCdsMensagens(session, entry); },
        [](InstallerSession &session, int entry) { ImportaCdsRotulos(session, entry); },
        AtualizaRestrFunc,
    };
    return importers;
}

bool AtualizaCatalogo(InstallerSession &session)
{
    bool result = true;
    CatalogImporters &importers = catalogImporters();
    const PackageSettings &package = session.package;
    const std::vector<int> entries = validatedEntries(session);

    // 1. Table catalog and structured tables.
    if (package.existCatalogo) {
        const QString folder = catalogFolder(session);
        prepareCatalogFolder(folder);
        LoadedCatalog catalog;
        bool loaded = false;
        try {
            PackageReader reader(inWorkingFolder(session, kCatalogArchiveName), QString());
            requireFlatArchive(reader);
            reader.extract(QStringLiteral("*.*"), folder);
            loaded = ReadCdsCatalogo(session, catalog);
        } catch (const PackageError &e) {
            logLine(session, QStringLiteral("Erro durante a leitura do arquivo de catálogo. Mensagem: ") + e.message(), ImageError);
        }
        if (loaded) {
            session.ui.processEvents();
            platform::deleteFolderToTrash(folder);
            for (int entry : entries) {
                const QString name = alias(session, entry);
                session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE CATALOGO DE TABELAS (Banco: ") + name + QStringLiteral(")"));
                if (CanUpdatePackDataBase(session, entry, kStageCatalogoTabelas, kVsPackCatalogo))
                    importers.tables(session, entry, catalog.tables);
                else
                    session.logbook.append(QStringLiteral("- Não houve alteração."));
                session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE TABELAS ESTRUTURADAS (Banco: ") + name + QStringLiteral(")"));
                if (CanUpdatePackDataBase(session, entry, kStageTabEstrut, kVsPackTabEstrut))
                    importers.tabEstrut(session, entry, catalog);
                else
                    session.logbook.append(QStringLiteral("- Não houve alteração."));
            }
        } else {
            statusRow(session, QStringLiteral("Erro durante a leitura dos arquivos do Catálogo de Tabelas."), kStageCatalogoTabelas, ImageError);
            statusRow(session, QStringLiteral("Erro durante a leitura dos arquivos do Catálogo de Tabelas Estruturadas."), kStageTabEstrut,
                      ImageError);
        }
    } else {
        // 2.
        for (int entry : entries) {
            const QString name = alias(session, entry);
            statusRow(session, QStringLiteral("Catálogo não incluído no pacote. Etapa ignorada no banco \"") + name + QStringLiteral("\"."),
                      kStageCatalogoTabelas, ImageIgnored);
            statusRow(session,
                      QStringLiteral("Tabelas Estruturadas não incluídas no pacote. Etapa ignorada no banco \"") + name + QStringLiteral("\"."),
                      kStageTabEstrut, ImageIgnored);
            AtualizaStatusVersao(session, entry, kVsPackCatalogo, kStatusComplete);
            AtualizaStatusVersao(session, entry, kVsPackTabEstrut, kStatusComplete);
        }
    }

    // 3. Messages.
    for (int entry : entries) {
        const QString name = alias(session, entry);
        if (package.existMsg) {
            session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE MENSAGENS (Banco: ") + name + QStringLiteral(")"));
            if (CanUpdatePackDataBase(session, entry, kStageMensagens, kVsPackMsg)) {
                statusRow(session, QStringLiteral("Atualizando Mensagens no banco \"") + name + QStringLiteral("\"..."), kStageMensagens,
                          ImageSuccess);
                importers.mensagens(session, entry);
            } else {
                session.logbook.append(QStringLiteral("- Não houve alteração."));
            }
        } else {
            statusRow(session, QStringLiteral("Mensagens não incluídas no pacote. Etapa ignorada no banco \"") + name + QStringLiteral("\"."),
                      kStageMensagens, ImageIgnored);
            AtualizaStatusVersao(session, entry, kVsPackMsg, kStatusComplete);
        }
    }

    // 4. Labels.
    for (int entry : entries) {
        const QString name = alias(session, entry);
        if (package.existRotulo) {
            session.logbook.append(QStringLiteral("\r\n*** ATUALIZAÇÃO DE RÓTULOS (Banco: ") + name + QStringLiteral(")"));
            if (CanUpdatePackDataBase(session, entry, kStageRotulos, kVsPackRotulo)) {
                statusRow(session, QStringLiteral("Atualizando Rótulos no banco \"") + name + QStringLiteral("\"..."), kStageRotulos,
                          ImageSuccess);
                importers.rotulos(session, entry);
            } else {
                session.logbook.append(QStringLiteral("- Não houve alteração."));
            }
        } else {
            statusRow(session, QStringLiteral("Rótulos não incluídos no pacote. Etapa ignorada no banco \"") + name + QStringLiteral("\"."),
                      kStageRotulos, ImageIgnored);
            AtualizaStatusVersao(session, entry, kVsPackRotulo, kStatusComplete);
        }
    }

    // 5-6. Functional restrictions.
    if (result)
        result = importers.restrFunc(session);
    return result;
}

}  // namespace tivra
