// The real installer run with /quiet on generated sites: exit statuses, what it prints, and the
// files it leaves.
#include "platform/textfile.h"
#include "support/packagebuilder.h"
#include "support/pewriter.h"
#include "installerprocess.h"
#include "support/testsite.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tivra;

namespace {
class QuietRun : public testsupport::InstallerProcessTest {
protected:
    QString logText(const QString &pattern)
    {
        const QStringList logs = QDir(site.installerDirectory() + "Log").entryList({pattern}, QDir::Files);
        EXPECT_EQ(logs.size(), 1) << pattern.toStdString();
        return logs.isEmpty() ? QString() : platform::readText(site.installerDirectory() + "Log/" + logs[0]);
    }

    // The rows of a query on one of the demo's embedded database files, each row's values joined
    // by "|".
    QStringList dbRows(const QString &alias, const QString &select)
    {
        QStringList rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e"));
            db.setDatabaseName(site.installerDirectory() + "Databases/" + alias + ".db");
            EXPECT_TRUE(db.open());
            QSqlQuery query(db);
            EXPECT_TRUE(query.exec(select)) << select.toStdString();
            while (query.next()) {
                QStringList values;
                for (int c = 0; c < query.record().count(); ++c)
                    values << query.value(c).toString();
                rows << values.join(QLatin1Char('|'));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("e2e"));
        return rows;
    }

    // Checks a run summary against the shape docs/run-summary.md documents: every field of the
    // file is documented there with the type it has, and the fields every summary carries are
    // present. Returns the summary.
    QJsonObject expectDocumentedSummary(const QString &pattern)
    {
        const QStringList summaries = QDir(site.installerDirectory() + "Log").entryList({pattern}, QDir::Files);
        EXPECT_EQ(summaries.size(), 1) << pattern.toStdString();
        if (summaries.isEmpty())
            return {};
        QFile file(site.installerDirectory() + "Log/" + summaries[0]);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
        EXPECT_EQ(parseError.error, QJsonParseError::NoError) << parseError.errorString().toStdString();
        const QJsonObject summary = document.object();

        // The documented fields: "| `a.b`, `.c` | type | meaning |" (".c" is a sibling of a.b).
        std::map<QString, QString> documented;
        QFile doc(QStringLiteral(TIVRA_RUN_SUMMARY_DOC));
        EXPECT_TRUE(doc.open(QIODevice::ReadOnly | QIODevice::Text));
        const QRegularExpression row(QStringLiteral("^\\| (`[^|]+`) \\| ([a-z ]+) \\|"));
        const QRegularExpression name(QStringLiteral("`([^`]+)`"));
        for (const QString &line : QString::fromUtf8(doc.readAll()).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch match = row.match(line);
            if (!match.hasMatch())
                continue;
            QString previous;
            for (auto it = name.globalMatch(match.captured(1)); it.hasNext();) {
                QString field = it.next().captured(1);
                if (field.startsWith(QLatin1Char('.')))
                    field = previous.left(previous.lastIndexOf(QLatin1Char('.'))) + field;
                documented[field] = match.captured(2);
                previous = field;
            }
        }
        EXPECT_GT(documented.size(), 20u);

        const auto typeFits = [](const QString &type, const QJsonValue &value) {
            if (type == QLatin1String("integer"))
                return value.isDouble() && value.toDouble() == double(value.toInteger());
            if (type == QLatin1String("text"))
                return value.isString();
            if (type == QLatin1String("boolean"))
                return value.isBool();
            if (type == QLatin1String("object"))
                return value.isObject();
            if (type == QLatin1String("array"))
                return value.isArray();
            if (type.endsWith(QLatin1String("of text"))) {
                const QJsonArray array = value.toArray();
                return value.isArray() && std::all_of(array.begin(), array.end(), [](const QJsonValue &v) { return v.isString(); });
            }
            return false;
        };
        std::set<QString> seen;
        std::function<void(const QString &, const QJsonObject &)> walk = [&](const QString &prefix, const QJsonObject &object) {
            for (auto it = object.begin(); it != object.end(); ++it) {
                const QString path = prefix + it.key();
                seen.insert(path);
                const auto found = documented.find(path);
                if (found != documented.end()) {
                    EXPECT_TRUE(typeFits(found->second, it.value())) << path.toStdString() << " is not " << found->second.toStdString();
                    if (it.value().isArray()) {
                        for (const QJsonValue &item : it.value().toArray()) {
                            if (item.isObject())
                                walk(path + QStringLiteral("[]."), item.toObject());
                        }
                    }
                    continue;
                }
                // Not documented itself: only an object that holds documented fields may be here.
                const bool holder = it.value().isObject()
                                    && std::any_of(documented.begin(), documented.end(), [&](const auto &entry) {
                                           return entry.first.startsWith(path + QLatin1Char('.'));
                                       });
                EXPECT_TRUE(holder) << "undocumented field " << path.toStdString();
                if (holder)
                    walk(path + QLatin1Char('.'), it.value().toObject());
            }
        };
        walk(QString(), summary);
        for (const auto &[field, type] : documented) {
            const bool conditional = field.startsWith(QLatin1String("databases[].")) || field.startsWith(QLatin1String("stages[]."))
                                     || field == QLatin1String("finalReport.error");
            if (!conditional) {
                EXPECT_TRUE(seen.count(field)) << "missing field " << field.toStdString();
            }
        }
        for (const char *field : {"stages[].name", "stages[].outcome", "stages[].durationMs", "stages[].errors"})
            EXPECT_TRUE(seen.count(QString::fromLatin1(field))) << "missing field " << field;
        EXPECT_TRUE(QStringList({"completed", "completedWithFailures", "interrupted"}).contains(summary.value("verdict").toString()));
        return summary;
    }

};
}  // namespace

TEST_F(QuietRun, WithoutAPackageTheFirstPageRefusesWithStatus3)
{
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_TRUE(err.contains("Arquivo não encontrado: Nenhum pacote de atualização foi encontrado. Utilize o botão "
                             "\"Atualizar Pacotes\" para baixar um novo."))
        << err.toStdString();
    // Then what to do without the button.
    const QString pack = QDir::toNativeSeparators(site.installerDirectory() + "Update.pack");
    EXPECT_TRUE(out.contains("Sem janela: copie o pacote de atualização para \"" + pack + "\" e execute o instalador novamente."))
        << out.toStdString();
}

TEST_F(QuietRun, AnApplicationDirectoryThatDoesNotExistIsNamedWithWhatToDo)
{
    const QString missing = site.root() + "/NaoExiste/AppTivra";
    site.writeFile("installer/Config.ini", testsupport::windowsText("[AppTivra]\nPath=" + missing + "\n"));
    addDatabases();
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\nExistBin=1\n[BinaryToCopy]\nAppTivra\\Producao\\Bin\\App.dll\n")
        .add("AppTivra/Producao/Bin/App.dll", "x")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 3) << err.toStdString() << out.toStdString();
    EXPECT_TRUE(out.contains("O diretório AppTivra \"" + QDir::toNativeSeparators(missing) + "\" não existe.")) << out.toStdString();
    EXPECT_TRUE(out.contains("Sem janela: corrija a chave Path da seção [AppTivra] de \""
                             + QDir::toNativeSeparators(site.installerDirectory() + "Config.ini") + "\""))
        << out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(missing));

    // Without the key, the directories page says where to put it.
    site.writeFile("installer/Config.ini", testsupport::windowsText("[AppTivra]\n"));
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 3) << err.toStdString() << out.toStdString();
    EXPECT_TRUE(err.contains("Informe o caminho para atualização dos arquivos binários (AppTivra)!")) << err.toStdString();
    EXPECT_TRUE(out.contains("Sem janela: informe o diretório AppTivra na chave Path da seção [AppTivra]")) << out.toStdString();
}

TEST_F(QuietRun, WithoutDatabasesTheDatabasesPageRefuses)
{
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.001\nExistScript=1\n")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_TRUE(err.contains("Autenticação: O atualizador exige que ao menos um banco seja autenticado!"))
        << err.toStdString();
    EXPECT_TRUE(out.contains("Banco de Dados")) << out.toStdString();
}

TEST_F(QuietRun, ASecondInstallerInTheSameFolderRefusesAndChangesNothing)
{
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.001\n").writeUpdatePack(site.installerDirectory());
    const QString marker = site.writeFile("installer/tmp/AppTivra/em-uso.dll", "being installed");
    QLockFile first(site.installerDirectory() + "tivra-installer.lock");
    ASSERT_TRUE(first.tryLock(0));
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 5);
    EXPECT_TRUE(err.contains("Instalador em execução: Já existe um instalador em execução a partir da pasta"))
        << err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(marker));
    first.unlock();
    // Once the first one is gone the next one starts (and removes the left-over working folder).
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 3);
    EXPECT_FALSE(QFileInfo::exists(marker));
}

TEST_F(QuietRun, ACompleteFileSideUpdate)
{
    addDatabases();
    const QString clients = site.appDirectory() + "/Producao/Bin/Clients/";
    QDir().mkpath(clients);
    QDir().mkpath(site.root() + "/pkg/AppTivra/Producao/Bin/Clients");
    ASSERT_TRUE(testsupport::writePeFile(clients + "Cadastro.exe", testsupport::PeVersion{1, 0, 0, 0}));
    ASSERT_TRUE(testsupport::writePeFile(site.root() + "/pkg/AppTivra/Producao/Bin/Clients/Cadastro.exe",
                                         testsupport::PeVersion{2, 1, 0, 5}));
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=2.4.107\nExistBin=1\n[BinaryToCopy]\n"
                "AppTivra\\Producao\\Bin\\Clients\\Cadastro.exe\n")
        .addFolder(site.root() + "/pkg")
        .writeUpdatePack(site.installerDirectory());

    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("Processo de Atualização Concluído!")) << out.toStdString();
    EXPECT_TRUE(out.contains("Versão 2.4.107 instalada!"));
    // The customer code comes from the databases; the letter O says: no failure.
    const QString log = logText("0042_Log_O2.4.107_*.txt");
    EXPECT_TRUE(log.contains("- Etapa de Backup ignorada pelo usuário.\r\n"));
    EXPECT_TRUE(log.contains("     Arquivos extraídos com sucesso!"));
    EXPECT_TRUE(log.contains("(2.1.0.5) " + clients + "Cadastro.exe"));
    EXPECT_TRUE(log.contains("     Arquivo \"Versoes.ini\" atualizado com sucesso."));
    EXPECT_TRUE(log.endsWith("- Procedimento de Atualização Finalizado\r\n"));
    EXPECT_FALSE(logText("ManualBordo_v2.4.107_*.txt").isEmpty());
    EXPECT_TRUE(platform::readText(site.appDirectory() + "/Executaveis/Versoes.ini").contains("Cadastro.exe=2.1.0.5"));
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "tmp"));
    // Standard error is a pipe here: no progress line (nor its carriage returns) goes there.
    EXPECT_FALSE(err.contains(QLatin1Char('\r'))) << err.toStdString();
    const QJsonObject summary = expectDocumentedSummary("0042_Log_O2.4.107_*.json");
    EXPECT_EQ(summary.value("verdict").toString(), QStringLiteral("completed"));
    EXPECT_EQ(summary.value("exitStatus").toInt(), 0);
    EXPECT_EQ(summary.value("files").toObject().value("replaced").toArray().size(), 1);
}

TEST_F(QuietRun, AFailingBinaryCopyInterruptsTheRunWithStatus2)
{
    addDatabases();
    // A folder stands where the package's file must go: the copy cannot replace it.
    QDir().mkpath(site.appDirectory() + "/Producao/Bin/App.dll");
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=3.0.001\nExistBin=1\nExistScript=1\n[BinaryToCopy]\n"
                "AppTivra\\Producao\\Bin\\App.dll\n")
        .add("AppTivra/Producao/Bin/App.dll", "novo")
        .writeUpdatePack(site.installerDirectory());

    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/ignorefileuse", "/nosendlog"}), 2) << err.toStdString();
    EXPECT_TRUE(out.contains("Processo de Atualização Interrompido!")) << out.toStdString();
    const QString log = logText("0042_Log_E3.0.001_*.txt");
    EXPECT_TRUE(log.contains("Não foi possível copiar o arquivo")) << log.toStdString();
    // Nothing after the binaries ran, but the conclusion did.
    EXPECT_FALSE(log.contains("Atualizando Versoes INI"));
    EXPECT_TRUE(log.contains("- Análise de dados concluída!\r\n"));
    EXPECT_TRUE(log.contains("- Finalizando instalação...\r\n"));
    const QJsonObject summary = expectDocumentedSummary("0042_Log_E3.0.001_*.json");
    EXPECT_EQ(summary.value("verdict").toString(), QStringLiteral("interrupted"));
    EXPECT_EQ(summary.value("exitStatus").toInt(), 2);
    // The scripts never ran: each database's version is the one it had.
    for (const QJsonValue &value : summary.value("databases").toArray())
        EXPECT_EQ(value.toObject().value("scriptVersionAfter"), value.toObject().value("scriptVersionBefore"));
}

// The maker's site of the tests' build cannot be reached: the final report cannot be delivered. The run's
// status stays, one line on standard error says so with the cause, and the summary records it.
TEST_F(QuietRun, AFinalReportThatCannotBeDeliveredIsSaidOnStandardErrorAndInTheSummary)
{
    addDatabases();
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.2.004\n").writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate"}), 0) << err.toStdString() << out.toStdString();
    const QStringList lines = err.split(QLatin1Char('\n')).filter(QStringLiteral("Relatório final não enviado ao servidor: "));
    ASSERT_EQ(lines.size(), 1) << err.toStdString();
    const QJsonObject summary = expectDocumentedSummary("0042_Log_O1.2.004_*.json");
    EXPECT_EQ(summary.value("finalReport").toObject().value("status").toString(), QStringLiteral("failed"));
    const QString cause = summary.value("finalReport").toObject().value("error").toString();
    EXPECT_FALSE(cause.isEmpty());
    EXPECT_TRUE(lines[0].trimmed().endsWith(cause)) << err.toStdString();

    // With "/nosendlog" nothing is attempted, and nothing said.
    QDir(site.installerDirectory() + "Log").removeRecursively();
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 0) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("não enviado"))) << err.toStdString();
    EXPECT_EQ(expectDocumentedSummary("0042_Log_O1.2.004_*.json").value("finalReport").toObject().value("status").toString(),
              QStringLiteral("notSent"));
}

TEST_F(QuietRun, APackageWithoutBinariesSkipsTheFileStagesAndRemovesAnEmptyBackupFolder)
{
    addDatabases();
    QDir().mkpath(site.installerDirectory() + "Backup");
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.2.003\n[Componentes]\npkBrelum=Brenok.dll;Calix.dll\n"
                "pkStenovaAtiv=Dovren.dll\n")
        .writeUpdatePack(site.installerDirectory());

    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 0) << err.toStdString() << out.toStdString();
    const QString log = logText("0042_Log_O1.2.003_*.txt");
    const QStringList expected = {"Etapa de Backup ignorada pelo usuário.",
                                  "Preparando o pacote para atualização...",
                                  "     Arquivos extraídos com sucesso!",
                                  "Arquivos binários não incluídos no pacote. Etapa ignorada.",
                                  "Arquivo de versões ignorado da atualização (sem binários para atualizar). Etapa "
                                  "ignorada."};
    qsizetype at = 0;
    for (const QString &line : expected) {
        const qsizetype found = log.indexOf("- " + line + "\r\n", at);
        EXPECT_GE(found, at) << line.toStdString();
        at = std::max(at, found);
    }
    EXPECT_TRUE(log.contains("pkBrelum")) << log.toStdString();
    EXPECT_TRUE(log.contains("pkStenovaAtiv"));
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "Backup"));
    EXPECT_FALSE(logText("ManualBordo_v1.2.003_*.txt").isEmpty());
}

TEST_F(QuietRun, DarnuModeEndsTheChainWhenNoNextPackageCanBeFetched)
{
    addDatabases();
    testsupport::PackageBuilder().config("[Outros]\nVersaoPacote=1.0.002\n").writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/darnu", "/nosendlog"}), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith("Processo de Atualização Concluído!\n")) << out.toStdString();
    // Back on the first page, the chain tried to fetch the next package.
    EXPECT_TRUE(err.contains("Buscar Atualizações: Não foi possível acessar o servidor de atualizações."));
    EXPECT_FALSE(logText("0042_Log_O1.0.002_*.txt").isEmpty());
}

TEST_F(QuietRun, TheDemoPackageRunsItsScriptsOnceAndASecondRunSkipsThem)
{
    addDatabases();
    testsupport::PackageBuilder().addFolder(QStringLiteral(TIVRA_DEMO_PACKAGE)).writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 0) << err.toStdString() << out.toStdString();
    QString log = logText("0042_Log_O1.0.001_*.txt");
    EXPECT_TRUE(log.contains("- Executando 4 instruções no banco \"TIVRA_PROD\"...")) << log.toStdString();
    EXPECT_TRUE(log.contains("- Executando 4 instruções no banco \"TIVRA_HML\"..."));
    EXPECT_EQ(log.count("     Todos os scripts foram executados com sucesso!"), 2);
    // The demo catalog: CLIENTES gains a column, PEDIDOS and its component are new, in both databases.
    EXPECT_EQ(log.count("Atualizando 2 Catálogos no banco"), 2);
    EXPECT_EQ(log.count("Cadastro CLIENTES atualizada no catálogo com sucesso! Corrigidos 0 registros em CATALOGO_TABELAS, "
                        "0 em COMPONENTES, 1 EM CATALOGO_COLUNAS, 1 em CATALOGO_TABCOL e 2 em CATALOGO_TABCOMP!"),
              2);
    EXPECT_EQ(log.count("Movimento PEDIDOS atualizada no catálogo com sucesso! Corrigidos 1 registros em CATALOGO_TABELAS, "
                        "1 em COMPONENTES, 2 EM CATALOGO_COLUNAS, 3 em CATALOGO_TABCOL e 3 em CATALOGO_TABCOMP!"),
              2);

    // Structured table 130, three messages (one of the new system 2), two labels and the one
    // restriction marked for export, in both databases.
    for (const QString &alias : {QStringLiteral("TIVRA_PROD"), QStringLiteral("TIVRA_HML")}) {
        EXPECT_TRUE(log.contains("Atualizando 1 Tabela(s) Estruturada(s) no banco \"" + alias + "\"..."));
        EXPECT_EQ(dbRows(alias, "SELECT ITEM_TABELA, DESCRICAO, SIGLA, IND_ATIVO FROM TAB_ESTRUTURADA WHERE COD_TABELA = 130 "
                                "ORDER BY ITEM_TABELA"),
                  QStringList({"0|Situação do Pedido|SIT|S", "1|Aberto|ABE|S", "2|Faturado|FAT|S",
                               "3|Cancelado (pelo cliente d'Ávila)|CAN|S"}));
        EXPECT_EQ(dbRows(alias, "SELECT ID_SISTEMA, COD_SISTEMA, NOME_SISTEMA FROM SISTEMAS ORDER BY ID_SISTEMA"),
                  QStringList({"1|CAD|Cadastros", "2|FIN|Financeiro"}));
        EXPECT_EQ(dbRows(alias, "SELECT ID_MSG, TIPO_MSG, COD_MENSAGEM, DESCR_MSG, DETALHES, ID_SISTEMA FROM MENSAGENS "
                                "WHERE ID_MSG > 2 ORDER BY ID_MSG"),
                  QStringList({"3|E|CAD003|Pedido já cadastrado.|Informe outro número.|1",
                               "4|E|CAD004|Situação \"Cancelado\" não pode ser alterada.|O pedido d'Ávila; já foi cancelado.|1",
                               "5|E|FIN001|Pedido sem título a receber.|Gere o título antes de faturar.|2"}));
        EXPECT_EQ(dbRows(alias, "SELECT ID_ROTULO, DESCR_ROTULO, DESCR_HINT FROM CATALOGO_ROTULOS WHERE ID_ROTULO > 2 ORDER BY ID_ROTULO"),
                  QStringList({"3|Situação|Situação do pedido", "4|Nº do Pedido|Número do pedido, como o cliente o vê"}));
        EXPECT_EQ(dbRows(alias, "SELECT ID_RESTRICAO, COD_RESTRICAO, DESCR_RESTRICAO, TIPO_RESTRICAO, IND_TRAMITACAO, TIPO_DADO_TAB, "
                                "OPERADOR, COD_OPERADOR, CONCORRENCIA FROM RESTRICOES ORDER BY ID_RESTRICAO"),
                  QStringList({"1|CAD_CLIENTE_INCLUIR|Incluir clientes|F|S|124|NOT IN|1|0",
                               "2|PED_PEDIDO_CANCELAR|Cancelar pedidos|F|S|124|NOT IN|1|0"}));
        for (const char *table : {"VS_PACK_TABESTRUT", "VS_PACK_MSG", "VS_PACK_ROTULO"})
            EXPECT_EQ(dbRows(alias, QStringLiteral("SELECT STATUS FROM %1 WHERE VERSAO_PACK = '1.0.001'").arg(QLatin1String(table))),
                      QStringList("2"))
                << table;
    }
    EXPECT_EQ(log.count("     3 mensagem(ns) atualizada(s) com sucesso!"), 2);
    EXPECT_EQ(log.count("- 2 rótulo(s) atualizado(s) com sucesso!"), 2);
    EXPECT_EQ(log.count("- 1 restrições de funcionalidade foram atualizadas."), 2);
    // The stages in their order: 07 and 09 per database, 10, 11, 08, then 12.
    qsizetype at = 0;
    for (const QString &line : {QStringLiteral("Atualizando 2 Catálogos no banco \"TIVRA_PROD\"..."),
                                QStringLiteral("Atualizando 1 Tabela(s) Estruturada(s) no banco \"TIVRA_PROD\"..."),
                                QStringLiteral("Atualizando 2 Catálogos no banco \"TIVRA_HML\"..."),
                                QStringLiteral("Atualizando 1 Tabela(s) Estruturada(s) no banco \"TIVRA_HML\"..."),
                                QStringLiteral("Atualizando Mensagens no banco \"TIVRA_PROD\"..."),
                                QStringLiteral("Atualizando Mensagens no banco \"TIVRA_HML\"..."),
                                QStringLiteral("Atualizando Rótulos no banco \"TIVRA_PROD\"..."),
                                QStringLiteral("Atualizando Rótulos no banco \"TIVRA_HML\"..."),
                                QStringLiteral("restrições de funcionalidade foram atualizadas."),
                                QStringLiteral("Inicializando pacotes COM...")}) {
        const qsizetype found = log.indexOf(line, at);
        EXPECT_GT(found, at) << line.toStdString();
        at = std::max(at, found);
    }

    QDir(site.installerDirectory() + "Log").removeRecursively();
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 0) << err.toStdString();
    log = logText("0042_Log_O1.0.001_*.txt");
    // The second run adds nothing.
    for (const QString &alias : {QStringLiteral("TIVRA_PROD"), QStringLiteral("TIVRA_HML")}) {
        EXPECT_EQ(dbRows(alias, "SELECT COUNT(*) FROM TAB_ESTRUTURADA WHERE COD_TABELA = 130"), QStringList("4"));
        EXPECT_EQ(dbRows(alias, "SELECT COUNT(*) FROM MENSAGENS"), QStringList("5"));
        EXPECT_EQ(dbRows(alias, "SELECT COUNT(*) FROM CATALOGO_ROTULOS"), QStringList("4"));
        EXPECT_EQ(dbRows(alias, "SELECT COUNT(*) FROM RESTRICOES"), QStringList("2"));
    }
    EXPECT_EQ(log.count("Todas as restrições de funcionalidade já estão consistentes. Ignorado da atualização."), 2);
    EXPECT_TRUE(log.contains("Scripts de Banco já atualizado no banco \"TIVRA_PROD\" com a mesma versão."))
        << log.toStdString();
    EXPECT_FALSE(log.contains("Executando 4 instruções"));
    EXPECT_TRUE(log.contains("Catálogo de Tabelas já atualizado no banco \"TIVRA_HML\" com a mesma versão.")) << log.toStdString();
    EXPECT_FALSE(log.contains("atualizada no catálogo"));
}

TEST_F(QuietRun, ARunWithAFailedStatementExitsWithStatus1AndThePartialVerdict)
{
    addDatabases();
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\nExistScript=1\n")
        .add("ScriptsOracle.sql", "CREATE TABLE QUIET_OK (ID INTEGER);\r\nCOMANDO INVALIDO;\r\n")
        .add("ScriptsDB2.sql", "CREATE TABLE QUIET_OK (ID INTEGER);\r\n")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 1) << err.toStdString() << out.toStdString();
    EXPECT_TRUE(out.contains("Processo de Atualização Parcialmente Concluído!")) << out.toStdString();
    EXPECT_FALSE(logText("*_Log_P1.0.002_*.txt").isEmpty());
    // The summary beside the log says which database failed what.
    EXPECT_TRUE(out.contains("Resumo: ")) << out.toStdString();
    const QJsonObject summary = expectDocumentedSummary("*_Log_P1.0.002_*.json");
    EXPECT_EQ(summary.value("verdict").toString(), QStringLiteral("completedWithFailures"));
    EXPECT_EQ(summary.value("exitStatus").toInt(), 1);
    for (const QJsonValue &value : summary.value("databases").toArray()) {
        const QJsonObject database = value.toObject();
        const bool oracle = database.value("alias").toString() == "TIVRA_PROD";
        const QJsonObject statements = database.value("statements").toObject();
        EXPECT_EQ(statements.value("run").toInt(), oracle ? 2 : 1);
        EXPECT_EQ(statements.value("failed").toInt(), oracle ? 1 : 0);
        EXPECT_EQ(database.value("scriptsComplete").toBool(), !oracle);
        EXPECT_EQ(database.contains("failedStatementsExport"), oracle);
        // Only the database whose scripts all ran reached the package's version.
        EXPECT_EQ(database.value("scriptVersionBefore").toInteger(), 10000);
        EXPECT_EQ(database.value("scriptVersionAfter").toInteger(), oracle ? 10000 : 10002);
    }
}

TEST_F(QuietRun, ADatabaseThatCannotBeOpenedFailsTheUnattendedRun)
{
    addDatabases();
    // The credentials are there, the database is not.
    ASSERT_TRUE(QFile::remove(site.installerDirectory() + "Databases/TIVRA_HML.db"));
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\nExistScript=1\n")
        .add("ScriptsOracle.sql", "CREATE TABLE QUIET_OK (ID INTEGER);\r\n")
        .add("ScriptsDB2.sql", "CREATE TABLE QUIET_OK (ID INTEGER);\r\n")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 1) << err.toStdString() << out.toStdString();
    EXPECT_TRUE(err.contains("Banco \"TIVRA_HML\" não foi atualizado: a conexão falhou. Mensagem: ")) << err.toStdString();
    EXPECT_FALSE(out.contains("Todos os procedimentos foram executados com sucesso!")) << out.toStdString();
    const QString log = logText("*_Log_P1.0.002_*.txt");
    EXPECT_TRUE(log.contains("Banco \"TIVRA_HML\" não foi atualizado")) << log.toStdString();
}

TEST_F(QuietRun, ARefusedCheckIsNamedOnStandardErrorAndLogged)
{
    addDatabases();
    const QString versions = site.appDirectory() + "/Executaveis/Versoes.ini";
    QFile::setPermissions(versions, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QDir().mkpath(site.root() + "/pkg/AppTivra/Producao/Bin");
    ASSERT_TRUE(testsupport::writePeFile(site.root() + "/pkg/AppTivra/Producao/Bin/App.dll", testsupport::PeVersion{1, 0, 0, 0}));
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\nExistBin=1\n[BinaryToCopy]\nAppTivra\\Producao\\Bin\\App.dll\n")
        .addFolder(site.root() + "/pkg")
        .writeUpdatePack(site.installerDirectory());
    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 3) << err.toStdString() << out.toStdString();
    EXPECT_TRUE(err.contains("Reprovado: Permissão de Escrita - " + versions + ": Sem Permissão")) << err.toStdString();
    // What was done so far is in a log file.
    const QString log = logText("*_Log_E1.0.002_*.txt");
    EXPECT_TRUE(log.contains("Versoes.ini")) << log.toStdString();
    EXPECT_TRUE(out.contains("Log: ")) << out.toStdString();
    QFile::setPermissions(versions, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(QuietRun, TheFolderLockIsHeldWhileTheRunGoesOn)
{
    addDatabases();
    // The COM+ catalog stand-in is a pipe: the first installer's run stops at stage 03 reading it,
    // after the package was extracted, until the test lets it go.
    const QString catalog = site.installerDirectory() + "COMPlusCatalog.ini";
    ASSERT_EQ(::mkfifo(QFile::encodeName(catalog).constData(), 0600), 0);
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=1.0.002\n[Componentes]\nTivraCadastro=Cadastro.dll\n")
        .writeUpdatePack(site.installerDirectory());
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", site.root() + "/xdg");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(site.installerDirectory());
    first.start(site.installerDirectory() + "tivra-installer", {"/quiet", "/noupdate", "/nosendlog"});
    ASSERT_TRUE(first.waitForStarted());
    // A writer can open the pipe only once the installer has opened it for reading.
    int writer = -1;
    for (int attempt = 0; attempt < 1200 && writer < 0; ++attempt) {
        writer = ::open(QFile::encodeName(catalog).constData(), O_WRONLY | O_NONBLOCK);
        if (writer < 0)
            QThread::msleep(50);
    }
    ASSERT_GE(writer, 0) << "the first installer never reached stage 03";
    EXPECT_TRUE(QFileInfo::exists(site.installerDirectory() + "tmp/Config.ini"));

    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog"}), 5);
    EXPECT_TRUE(err.contains("Instalador em execução: Já existe um instalador em execução")) << err.toStdString();
    // The second one changed nothing: the first one's working folder is whole.
    EXPECT_TRUE(QFileInfo::exists(site.installerDirectory() + "tmp/Config.ini"));

    ::close(writer);
    first.kill();
    first.waitForFinished(10000);
}

TEST_F(QuietRun, WithTheBackupSwitchAnUnattendedRunBacksUpWhatItReplaces)
{
    addDatabases();
    const QString clients = site.appDirectory() + "/Producao/Bin/Clients/";
    QDir().mkpath(clients);
    QDir().mkpath(site.root() + "/pkg/AppTivra/Producao/Bin/Clients");
    ASSERT_TRUE(testsupport::writePeFile(clients + "Cadastro.exe", testsupport::PeVersion{1, 0, 0, 0}));
    QFile original(clients + "Cadastro.exe");
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();
    ASSERT_TRUE(testsupport::writePeFile(site.root() + "/pkg/AppTivra/Producao/Bin/Clients/Cadastro.exe",
                                         testsupport::PeVersion{2, 1, 0, 5}));
    testsupport::PackageBuilder()
        .config("[Outros]\nVersaoPacote=2.4.108\nExistBin=1\n[BinaryToCopy]\n"
                "AppTivra\\Producao\\Bin\\Clients\\Cadastro.exe\n")
        .addFolder(site.root() + "/pkg")
        .writeUpdatePack(site.installerDirectory());

    EXPECT_EQ(runInstaller({"/quiet", "/noupdate", "/nosendlog", "/backup"}), 0) << err.toStdString();
    // The backup folder beside the installer holds the replaced file as it was.
    const QStringList backups = QDir(site.installerDirectory() + "Backup").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(backups.size(), 1) << backups.join(',').toStdString();
    EXPECT_TRUE(backups[0].startsWith("AppTivra antes do pack 2.4.108 - Data "));
    QFile saved(site.installerDirectory() + "Backup/" + backups[0] + "/Producao/Bin/Clients/Cadastro.exe");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), before);
    EXPECT_FALSE(logText("0042_Log_O2.4.108_*.txt").contains("Etapa de Backup ignorada pelo usuário."));
}
