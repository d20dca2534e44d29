#include "app/dryrun.h"

#include <QScopeGuard>

#include "app/installer.h"
#include "app/unattended.h"
#include "catalog/catalogo.h"
#include "catalog/datapacket.h"
#include "core/clock.h"
#include "core/logfiles.h"
#include "core/userinterface.h"
#include "db/connection.h"
#include "db/scriptrunner.h"
#include "db/sqlrunner.h"
#include "db/tablespaces.h"
#include "db/versionchecks.h"
#include "db/versiontables.h"
#include "deploy/backup.h"
#include "deploy/binarycopy.h"
#include "deploy/comcatalog.h"
#include "deploy/complus.h"
#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"
#include "deploy/foldercopy.h"
#include "package/extractfiles.h"
#include "package/packagearchive.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>
#include <map>

namespace tivra {

namespace {

const QString kApplications = QStringLiteral("Applications");

void printLine(const QString &text, FILE *stream = stdout)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString applicationOf(const QString &componentsLine)
{
    const qsizetype equals = componentsLine.indexOf(QLatin1Char('='));
    return equals >= 0 ? componentsLine.left(equals) : componentsLine;
}

// --- files -------------------------------------------------------------------------------------

void planFiles(InstallerSession &session, DryRunReport &report)
{
    const PackageSettings &package = session.package;
    if (!package.existBin)
        return;
    const QStringList outside = unconfinedBinaryEntries(package.binaryToCopy);
    if (!outside.isEmpty()) {
        report.interruptReasons << QStringLiteral("a lista de binários contém caminhos fora do diretório da aplicação: ")
                                       + outside.join(QStringLiteral(", "));
        return;
    }
    // The binary stage's own request, walked without copying.
    FolderCopyRequest request;
    request.source = localPath(joinPath(session.workingFolder, QStringLiteral("AppTivra")));
    request.destination = localPath(session.pathAppTivra);
    request.mask = QStringLiteral("*.*");
    request.listedFilesOnly = false;
    request.fileList = package.binaryToCopy;
    request.planOnly = true;
    if (!CopyFolder(session, request)) {
        report.interruptReasons << QStringLiteral("a cópia dos binários falharia: ") + request.errorText;
        return;
    }
    for (const PlannedFile &planned : request.plan) {
        DryRunFile file;
        file.destination = planned.destination;
        file.installedVersion = planned.destinationVersion;
        file.packageVersion = planned.sourceVersion;
        if (planned.heldOpen) {
            file.action = DryRunFile::Action::InUse;
        } else {
            switch (planned.decision) {
            case FileCopyDecision::New: file.action = DryRunFile::Action::New; break;
            case FileCopyDecision::Replace:
                file.action = DryRunFile::Action::Replace;
                if (planned.destinationVersion == planned.sourceVersion) {
                    file.sameContent = planned.sameContent;
                    file.sameVersionDifferentContent = !planned.sameContent;
                }
                break;
            case FileCopyDecision::KeepNewer: file.action = DryRunFile::Action::Keep; break;
            case FileCopyDecision::KeepUncomparable:
                file.action = DryRunFile::Action::Keep;
                file.uncomparable = true;
                break;
            }
        }
        report.files.push_back(file);
    }
    // The stage counts the files it handled against the binaries list.
    if (request.handledFiles.size() != package.binaryToCopy.size()) {
        const QString detail = binaryListMismatch(package.binaryToCopy, request).trimmed();
        report.interruptReasons << QStringLiteral("o número de arquivos tratados (") + QString::number(request.handledFiles.size())
                                       + QStringLiteral(") difere da lista de binários (")
                                       + QString::number(package.binaryToCopy.size()) + QStringLiteral(")")
                                       + (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    }
}

// Stage 01: the files of the binaries list found in the application directory, copied into a
// new folder of the backup folder (walked as the backup walks them, without copying).
void planBackup(InstallerSession &session, DryRunReport &report)
{
    if (session.ignoreBackup) {
        report.backup << QStringLiteral("Etapa de Backup ignorada (sem /backup, ou pelo usuário).");
        return;
    }
    const QString folder = joinPath(localPath(session.pathBackup),
                                    backupFolderName(session.package.versaoPacote, currentDateTime()));
    FolderCopyRequest request;
    request.source = localPath(session.pathAppTivra);
    request.destination = folder + QDir::separator();
    request.mask = QStringLiteral("*.*");
    request.listedFilesOnly = true;
    request.fileList = session.package.binaryToCopy;
    request.planOnly = true;
    if (!CopyFolder(session, request)) {
        report.backup << QStringLiteral("A cópia de segurança falharia: ") + request.errorText;
        report.interruptReasons << QStringLiteral("a cópia de segurança falharia: ") + request.errorText;
        return;
    }
    report.backup << QString::number(request.plan.size()) + QStringLiteral(" arquivo(s) copiado(s) para \"")
                         + QDir::toNativeSeparators(folder) + QStringLiteral("\":");
    for (const PlannedFile &file : request.plan)
        report.backup << QStringLiteral("COPIAR      ") + file.source;
}

// --- COM+ --------------------------------------------------------------------------------------

void planComPlus(InstallerSession &session, DryRunReport &report)
{
    QStringList registered;
    QString catalogError;
    try {
        const auto catalog = openComPlusCatalog(session.installerDirectory);
        const auto applications = catalog->getCollection(kApplications);
        applications->populate();
        for (int index = 0; index < applications->count(); ++index)
            registered << applications->item(index)->name();
    } catch (const std::exception &error) {
        catalogError = QString::fromUtf8(error.what());
    }
    for (const QString &line : session.package.componentes) {
        const QString name = applicationOf(line);
        report.comApplications << name;
        if (!catalogError.isEmpty())
            report.comNotes << QStringLiteral("catálogo COM+ ilegível (") + catalogError + QLatin1Char(')');
        else if (registered.contains(name))
            report.comNotes << QStringLiteral("registrado; desligado na etapa 03 e novamente na etapa 12");
        else
            report.comNotes << QStringLiteral("não registrado; seria criado na etapa 12");
    }
    // The owners of libraries the copy replaces are stopped before each file.
    for (const DryRunFile &file : report.files) {
        if (file.action != DryRunFile::Action::Replace && file.action != DryRunFile::Action::New)
            continue;
        for (const LibraryOwner &owner : builtInLibraryTable()) {
            if (!file.destination.contains(owner.library, Qt::CaseSensitive))
                continue;
            if (!report.comApplications.contains(owner.application) && registered.contains(owner.application)) {
                report.comApplications << owner.application;
                report.comNotes << QStringLiteral("registrado; desligado antes de substituir ") + owner.library;
            }
            break;
        }
    }
}

// --- databases ---------------------------------------------------------------------------------

struct TableOfStage {
    QString table;
    QString item;      // as the stage names it
    bool inPackage;    // the package carries this content
};

QString describeDecision(PackRunDecision decision, const HighestVersion &highest)
{
    switch (decision) {
    case PackRunDecision::Run: return QStringLiteral("executar");
    case PackRunDecision::SkipNewer:
        return QStringLiteral("ignorar: já existe uma versão superior instalada (") + highest.version + QLatin1Char(')');
    case PackRunDecision::SkipSameComplete: return QStringLiteral("ignorar: mesma versão já instalada por completo");
    case PackRunDecision::CheckRequired: break;
    }
    return {};
}

void planDatabase(InstallerSession &session, int entry, const QStringList &pieces, DryRunDatabase &db, DryRunReport &report)
{
    const PackageSettings &package = session.package;
    const qint64 p = versionNumber(package.versaoPacote);
    const qint64 r = versionNumber(package.versaoRequerida);
    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, entry)) {
        db.validated = false;
        db.notValidatedReason = QStringLiteral("a conexão não abriu: ") + connection.failure();
        report.failureReasons << QStringLiteral("banco \"") + db.alias + QStringLiteral("\": a conexão não abriu");
        return;
    }
    const std::vector<TableOfStage> stages = {
        {kVsPackBanco, QStringLiteral("Scripts de Banco"), package.existScript},
        {kVsPackCatalogo, QStringLiteral("Catálogo de Tabelas"), package.existCatalogo},
        {kVsPackTabEstrut, QStringLiteral("Catálogo de Tabelas Estruturadas"), package.existCatalogo},
        {kVsPackMsg, QStringLiteral("Catálogo de Mensagens"), package.existMsg},
        {kVsPackRotulo, QStringLiteral("Catálogo de Rótulos"), package.existRotulo},
    };
    bool scriptsRun = false;
    for (const TableOfStage &stage : stages) {
        DryRunVersionTable table;
        table.table = stage.table;
        const HighestVersion highest =
            readHighestVersionUnchanged(connection, stage.table, package.versaoPacote, package.packCorrecao);
        table.exists = highest.exists;
        table.readable = highest.read;
        table.installed = highest.version;
        table.status = highest.status;
        if (!stage.inPackage) {
            table.decision = QStringLiteral("conteúdo não incluído no pacote: etapa ignorada, versão gravada como completa");
        } else if (package.ignorarVersao) {
            table.decision = QStringLiteral("executar (o pacote ignora as versões)");
            table.runs = true;
        } else if (!highest.read) {
            table.decision = QStringLiteral("recusado: a tabela de versões não pôde ser lida (erro na etapa)");
            report.failureReasons << QStringLiteral("banco \"") + db.alias + QStringLiteral("\": ") + stage.table
                                         + QStringLiteral(" ilegível");
        } else {
            PackRunDecision decision =
                packRunDecision(p, r, highest.empty, versionNumber(highest.version), highest.status);
            if (decision == PackRunDecision::CheckRequired) {
                const std::optional<ResultTable> required = BuscaRegistroDaVersao(connection, stage.table, package.versaoRequerida);
                if (!required) {
                    table.decision = QStringLiteral("recusado: a tabela de versões não pôde ser lida (erro na etapa)");
                    report.failureReasons << QStringLiteral("banco \"") + db.alias + QStringLiteral("\": ") + stage.table
                                                 + QStringLiteral(" ilegível");
                } else if ((required->isEmpty() ? 0 : required->integer(0, QStringLiteral("STATUS"))) == kStatusComplete) {
                    table.decision = QStringLiteral("executar");
                    table.runs = true;
                } else {
                    table.decision = QStringLiteral("recusado: a versão requerida ") + package.versaoRequerida
                                     + QStringLiteral(" não está completa neste banco");
                }
            } else {
                table.decision = describeDecision(decision, highest);
                table.runs = decision == PackRunDecision::Run;
            }
        }
        if (stage.table == kVsPackBanco)
            scriptsRun = table.runs;
        db.tables.push_back(table);
    }

    // Stage 06 for this database, in the order the stage decides.
    if (!package.existScript) {
        db.scriptNote = QStringLiteral("scripts não incluídos no pacote");
    } else if (!scriptsRun) {
        db.scriptNote = QStringLiteral("nenhuma instrução: a etapa ignora este banco");
    } else if (pieces.isEmpty() || !hasExecutableContent(pieces.join(package.sqlDelimiter.isEmpty() ? QStringLiteral(";")
                                                                                                     : package.sqlDelimiter))) {
        db.scriptNote = QStringLiteral("não existem instruções para execução");
    } else if (pieces.size() == 1) {
        db.scriptNote = QStringLiteral("nenhuma instrução: o script não contém o delimitador");
        report.failureReasons << QStringLiteral("banco \"") + db.alias + QStringLiteral("\": o script não contém o delimitador");
    } else {
        QStringList marked = pieces;
        bool allExecuted = false;
        bool readFailed = false;
        if (!package.ignorarVersao) {
            db.instBancoPackMissing = !ExecSQLText(connection, QStringLiteral("SELECT 1 FROM ") + kInstBancoPack, false);
            // A correction package's statement log of its version is deleted by the checks page.
            if (!db.instBancoPackMissing && !package.packCorrecao) {
                const std::optional<ResultTable> rows = GetNumInstrucaoSQLExec(connection, package.versaoPacote);
                if (!rows || !rows->hasColumn(QStringLiteral("NUM_INSTRUCAO_SQL"))) {
                    readFailed = true;
                } else {
                    QList<qint64> positions;
                    for (int row = 0; row < rows->count(); ++row)
                        positions.append(rows->integer(row, QStringLiteral("NUM_INSTRUCAO_SQL")));
                    allExecuted = markExecutedStatements(marked, positions);
                }
            }
        }
        if (readFailed) {
            db.scriptNote = QStringLiteral("nenhuma instrução: INST_BANCO_PACK não pôde ser lida (banco ignorado)");
            report.failureReasons << QStringLiteral("banco \"") + db.alias + QStringLiteral("\": INST_BANCO_PACK ilegível");
        } else if (allExecuted) {
            db.scriptNote = QStringLiteral("todas as instruções já foram executadas");
            db.statementsAlreadyRun = statementsToRun(pieces);
        } else {
            db.scriptsReached = true;
            db.statementsToRun = statementsToRun(marked);
            db.statementsAlreadyRun = statementsMarkedExecuted(marked);
        }
    }
}

// The catalog content of the package: how many items each catalog step would compare. The rows
// each step would insert or update depend on comparisons the imports make row by row; they are
// not computed here.
QStringList catalogContent(InstallerSession &session)
{
    QStringList notes;
    const PackageSettings &package = session.package;
    if (package.existCatalogo) {
        int structured = 0;
        for (int row = 0; row < session.cdsCatalogo.count(); ++row)
            structured += session.cdsCatalogo.integer(row, QStringLiteral("COD_TAB_EST")) != 0 ? 1 : 0;
        notes << QString::number(session.cdsCatalogo.count()) + QStringLiteral(" tabela(s) no índice do catálogo, ")
                     + QString::number(structured) + QStringLiteral(" tabela(s) estruturada(s)");
    }
    const auto packetRows = [&](const QString &file, const QString &what) {
        const QString path = joinPath(session.workingFolder, file);
        if (!QFileInfo::exists(path)) {
            notes << what + QStringLiteral(": arquivo ") + file + QStringLiteral(" ausente do pacote");
            return;
        }
        try {
            notes << what + QStringLiteral(": ") + QString::number(readDataPacketFile(path).visibleCount())
                         + QStringLiteral(" linha(s) em ") + file;
        } catch (const std::exception &error) {
            notes << what + QStringLiteral(": ") + file + QStringLiteral(" inválido (") + QString::fromUtf8(error.what())
                         + QLatin1Char(')');
        }
    };
    if (package.existMsg)
        packetRows(QStringLiteral("Mensagens.cds"), QStringLiteral("mensagens"));
    if (package.existRotulo)
        packetRows(QStringLiteral("Rotulos.cds"), QStringLiteral("rótulos"));
    if (package.existRestrFunc)
        packetRows(QStringLiteral("RestFuncionalidade.cds"), QStringLiteral("restrições de funcionalidade"));
    return notes;
}

// --- the text ----------------------------------------------------------------------------------

// What the catalog stages would write into each validated database: the stages run as in the
// update, reading the databases, while the connections hand every write statement to a recorder
// instead of executing it. The rows are counted per table and kind; the version tables are left
// out (their decisions are in the database section). An error row the stages report meanwhile is
// an error the run would meet too.
void predictCatalogRows(InstallerSession &session, DryRunReport &report)
{
    struct Counts {
        qint64 inserts = 0;
        qint64 updates = 0;
        qint64 deletes = 0;
    };
    std::map<QString, std::map<QString, Counts>> written;  // alias -> table -> counts
    static const QRegularExpression target(
        QStringLiteral(R"(^\s*(INSERT\s+INTO|UPDATE|DELETE\s+FROM|DELETE)\s+"?([A-Za-z0-9_$#.]+))"),
        QRegularExpression::CaseInsensitiveOption);
    DbConnection::setWriteRecorder([&written](const DbConnection &connection, const QString &statement) {
        const QRegularExpressionMatch match = target.match(statement);
        if (!match.hasMatch())
            return;
        const QString table = match.captured(2).toUpper().section(u'.', -1);
        if (table.startsWith(QLatin1String("VS_PACK_")) || table == kInstBancoPack)
            return;
        Counts &counts = written[connection.name()][table];
        const QChar kind = match.captured(1).at(0).toUpper();
        (kind == u'I' ? counts.inserts : kind == u'U' ? counts.updates : counts.deletes) += 1;
    });
    const size_t rowsBefore = session.status.rows().size();
    bool completed = true;
    QString failure;
    try {
        AtualizaCatalogo(session);
    } catch (const std::exception &e) {
        completed = false;
        failure = QString::fromUtf8(e.what());
    }
    DbConnection::setWriteRecorder({});

    QStringList errors;
    const std::vector<StatusRow> &rows = session.status.rows();
    for (size_t i = rowsBefore; i < rows.size(); ++i) {
        if (rows[i].image == ImageError)
            errors << (rows[i].group.isEmpty() ? QString() : rows[i].group + QStringLiteral(": ")) + rows[i].detalhes;
    }
    for (DryRunDatabase &db : report.databases) {
        if (!db.validated)
            continue;
        const auto found = written.find(db.alias);
        if (found == written.end() || found->second.empty()) {
            db.catalogNotes << QStringLiteral("nenhuma linha a incluir ou alterar");
            continue;
        }
        for (const auto &[table, counts] : found->second) {
            QStringList parts;
            if (counts.inserts)
                parts << QString::number(counts.inserts) + QStringLiteral(" a incluir");
            if (counts.updates)
                parts << QString::number(counts.updates) + QStringLiteral(" a alterar");
            if (counts.deletes)
                parts << QString::number(counts.deletes) + QStringLiteral(" a excluir");
            db.catalogNotes << table + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
        }
    }
    if (!completed)
        errors << QStringLiteral("a simulação das etapas de catálogo parou: ") + failure;
    for (const QString &error : std::as_const(errors))
        report.catalogErrors << error;
    if (!errors.isEmpty())
        report.failureReasons << QStringLiteral("as etapas de catálogo registrariam erro(s) (veja a seção Catálogos)");
}

QString fileLine(const DryRunFile &file)
{
    switch (file.action) {
    case DryRunFile::Action::New:
        return QStringLiteral("NOVO        ") + file.destination + QStringLiteral(" (") + file.packageVersion + QLatin1Char(')');
    case DryRunFile::Action::Replace: {
        QString line = QStringLiteral("SUBSTITUIR  ") + file.destination + QStringLiteral(" (") + file.installedVersion
                       + QStringLiteral(" -> ") + file.packageVersion;
        if (file.sameVersionDifferentContent)
            line += QStringLiteral("; mesma versão, conteúdo diferente");
        else if (file.sameContent)
            line += QStringLiteral("; mesma versão, mesmo conteúdo");
        return line + QLatin1Char(')');
    }
    case DryRunFile::Action::Keep:
        if (file.uncomparable)
            return QStringLiteral("MANTER      ") + file.destination + QStringLiteral(" (instalado ") + file.installedVersion
                   + QStringLiteral(", pacote ") + file.packageVersion + QStringLiteral(": versão grande demais para comparar)");
        return QStringLiteral("MANTER      ") + file.destination + QStringLiteral(" (instalado ") + file.installedVersion
               + QStringLiteral(" é mais novo que o do pacote ") + file.packageVersion + QLatin1Char(')');
    case DryRunFile::Action::InUse:
        return QStringLiteral("EM USO      ") + file.destination + QStringLiteral(" (não seria copiado)");
    }
    return {};
}

void composeText(Installer &installer, DryRunReport &report)
{
    InstallerSession &session = installer.session;
    const PackageSettings &package = session.package;
    QStringList lines;
    lines << QStringLiteral("RELATÓRIO PRÉVIO DA ATUALIZAÇÃO (/dryrun): nada foi alterado.");
    lines << QStringLiteral("Pacote: ") + package.versaoPacote + QStringLiteral(" (versão requerida ") + package.versaoRequerida
                 + QLatin1Char(')');
    lines << QStringLiteral("Cliente: ") + session.customerCode;
    lines << QStringLiteral("Diretório da aplicação: ") + QDir::toNativeSeparators(session.pathAppTivra);
    lines << QStringLiteral("Data: ") + currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    lines << QString();
    if (report.refused) {
        lines << QStringLiteral("== Atualização recusada ==");
        lines << report.refusalReasons;
        lines << QString();
        lines << QStringLiteral("== Veredito esperado ==");
        lines << report.verdict;
        // What the walk logged, as the log file of a refused run would hold it.
        lines << QString();
        lines << QStringLiteral("== Registro das verificações ==");
        for (const QString &item : session.status.logText())
            lines << item;
        report.text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        return;
    }

    if (!report.backup.isEmpty()) {
        lines << QStringLiteral("== Backup ==");
        lines << report.backup;
        lines << QString();
    }
    lines << QStringLiteral("== Arquivos binários ==");
    if (!package.existBin) {
        lines << QStringLiteral("Nenhum arquivo binário no pacote.");
    } else {
        int replaced = 0, kept = 0, added = 0, sameVersion = 0;
        for (const DryRunFile &file : report.files) {
            lines << fileLine(file);
            replaced += file.action == DryRunFile::Action::Replace ? 1 : 0;
            kept += file.action == DryRunFile::Action::Keep ? 1 : 0;
            added += file.action == DryRunFile::Action::New ? 1 : 0;
            sameVersion += file.sameVersionDifferentContent ? 1 : 0;
        }
        lines << QStringLiteral("Total: ") + QString::number(replaced) + QStringLiteral(" substituído(s) (")
                     + QString::number(sameVersion) + QStringLiteral(" de mesma versão com conteúdo diferente), ")
                     + QString::number(kept) + QStringLiteral(" mantido(s), ") + QString::number(added)
                     + QStringLiteral(" novo(s).");
    }
    lines << QString();
    lines << QStringLiteral("== Pacotes COM+ ==");
    if (report.comApplications.isEmpty())
        lines << QStringLiteral("Nenhum pacote COM+ seria desligado.");
    for (int i = 0; i < report.comApplications.size(); ++i)
        lines << QStringLiteral("DESLIGAR    ") + report.comApplications.at(i) + QStringLiteral(" (") + report.comNotes.value(i)
                     + QLatin1Char(')');
    lines << QString();
    lines << QStringLiteral("== Bancos de dados ==");
    if (report.databases.empty())
        lines << QStringLiteral("Nenhum banco de dados.");
    for (const DryRunDatabase &db : report.databases) {
        lines << QStringLiteral("Banco \"") + db.alias + QStringLiteral("\" (") + db.vendor + QStringLiteral("):");
        if (!db.validated) {
            lines << QStringLiteral("  não atualizado: ") + db.notValidatedReason;
            continue;
        }
        for (const DryRunVersionTable &table : db.tables) {
            QString state;
            if (!table.exists)
                state = QStringLiteral("tabela não existe: seria criada");
            else if (!table.readable)
                state = QStringLiteral("ilegível");
            else if (table.installed.isEmpty())
                state = QStringLiteral("nenhuma versão registrada");
            else
                state = QStringLiteral("atual ") + table.installed
                        + (table.status == kStatusComplete ? QStringLiteral(" (completa)") : QStringLiteral(" (parcial)"));
            lines << QStringLiteral("  ") + table.table + QStringLiteral(": ") + state + QStringLiteral(" -> ") + table.decision;
        }
        if (db.instBancoPackMissing)
            lines << QStringLiteral("  INST_BANCO_PACK: tabela não existe: seria criada");
        if (db.scriptsReached)
            lines << QStringLiteral("  Instruções a executar: ") + QString::number(db.statementsToRun)
                         + QStringLiteral(" (já executadas por uma atualização anterior: ")
                         + QString::number(db.statementsAlreadyRun) + QStringLiteral(")");
        else
            lines << QStringLiteral("  Instruções a executar: 0 (") + db.scriptNote + QLatin1Char(')');
    }
    const QStringList catalog = catalogContent(session);
    if (!catalog.isEmpty()) {
        lines << QString();
        lines << QStringLiteral("== Catálogos ==");
        lines << QStringLiteral("Conteúdo do pacote que as etapas 07 a 11 e 08 comparam em cada banco em que executam:");
        for (const QString &note : catalog)
            lines << QStringLiteral("  ") + note;
        bool predicted = false;
        for (const DryRunDatabase &db : report.databases)
            predicted = predicted || !db.catalogNotes.isEmpty();
        if (predicted) {
            lines << QStringLiteral("Linhas que as etapas gravariam (simulação: os bancos são lidos, nenhuma gravação é executada; "
                                    "uma linha que dependa de outra incluída antes na mesma etapa pode ser contada de outro modo):");
            for (const DryRunDatabase &db : report.databases) {
                if (db.catalogNotes.isEmpty())
                    continue;
                lines << QStringLiteral("  Banco \"") + db.alias + QStringLiteral("\":");
                for (const QString &note : db.catalogNotes)
                    lines << QStringLiteral("    ") + note;
            }
        }
        for (const QString &error : std::as_const(report.catalogErrors))
            lines << QStringLiteral("  Erro previsto: ") + error;
    }
    lines << QString();
    lines << QStringLiteral("== Veredito esperado ==");
    lines << report.verdict;
    for (const QString &reason : std::as_const(report.interruptReasons))
        lines << QStringLiteral("  - ") + reason;
    for (const QString &reason : std::as_const(report.failureReasons))
        lines << QStringLiteral("  - ") + reason;
    if (report.exitStatus <= 1)
        lines << QStringLiteral("(Uma instrução ou importação que falhe durante a atualização ainda pode torná-la parcial.)");
    report.text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void settleVerdict(DryRunReport &report, const QString &version)
{
    if (report.refused) {
        report.exitStatus = ExitRefused;
        report.verdict = QStringLiteral("Atualização não seria iniciada (status 3).");
    } else if (!report.interruptReasons.isEmpty()) {
        report.exitStatus = ExitInterrupted;
        report.verdict = QStringLiteral("Processo de Atualização Interrompido! (status 2)");
    } else if (!report.failureReasons.isEmpty()) {
        report.exitStatus = ExitCompletedWithFailures;
        report.verdict = QStringLiteral("Processo de Atualização Parcialmente Concluído! Versão ") + version
                         + QStringLiteral(" parcialmente instalada (status 1).");
    } else {
        report.exitStatus = ExitCompleted;
        report.verdict = QStringLiteral("Processo de Atualização Concluído! Versão ") + version + QStringLiteral(" instalada (status 0).");
    }
}

void writeReport(Installer &installer, DryRunReport &report)
{
    InstallerSession &session = installer.session;
    const QString folder = session.pathLog.isEmpty() ? session.installerDirectory + QStringLiteral("Log") : session.pathLog;
    QDir().mkpath(folder);
    const QString path = joinPath(folder, dryRunFileName(session.customerCode, session.package.versaoPacote));
    QStringList items = report.text.split(QStringLiteral("\r\n"));
    if (!items.isEmpty() && items.last().isEmpty())
        items.removeLast();
    QString error;
    const QString written = platform::writeNewTextItems(path, items, &error);
    if (!written.isEmpty())
        report.reportFile = written;
    else
        report.writeError = error.isEmpty() ? QStringLiteral("não foi possível gravar ") + path : error;
}

}  // namespace

QString dryRunFileName(const QString &customerCode, const QString &packageVersion)
{
    return safeFileNamePart(customerCode) + QStringLiteral("_DryRun_") + safeFileNamePart(packageVersion) + QLatin1Char('_')
           + currentDateTime().toString(QStringLiteral("ddMMyyyy_hhmm")) + QStringLiteral(".txt");
}

DryRunReport buildDryRunReport(Installer &installer)
{
    DryRunReport report;
    InstallerSession &session = installer.session;
    const PackageSettings &package = session.package;
    DbConnection::setReadOnly(true);

    // The run counts a database whose connection failed as a failure.
    report.failureReasons << installer.unvalidatedDatabases();

    planBackup(session, report);
    // The package unpacked as stage 02 does; the working folder goes again at the end.
    const bool extracted = ExtractFiles(session);
    if (!extracted)
        report.interruptReasons << QStringLiteral("o pacote não pôde ser extraído (veja as mensagens da preparação do pacote)");
    if (extracted) {
        planFiles(session, report);
        planComPlus(session, report);
    }

    const QString delimiter = package.sqlDelimiter.isEmpty() ? QStringLiteral(";") : package.sqlDelimiter;
    const MemTable &dbs = session.cdsDbs;
    for (int entry = 0; entry < dbs.count(); ++entry) {
        DryRunDatabase db;
        db.alias = dbs.text(entry, QStringLiteral("ALIAS"));
        db.vendor = dbs.text(entry, QStringLiteral("VENDOR"));
        const qint64 image = dbs.integer(entry, QStringLiteral("IMAGE"));
        db.validated = image == ImageSuccess;
        if (!db.validated) {
            const QString cause = session.validationFailures.value(db.alias);
            db.notValidatedReason = image == ImageError ? QStringLiteral("a conexão falhou")
                                                              + (cause.isEmpty() ? QString() : QStringLiteral(": ") + cause)
                                                        : QStringLiteral("ignorado (sem dados para a conexão)");
            report.databases.push_back(db);
            continue;
        }
        QStringList pieces;
        if (extracted && package.existScript) {
            const QString vendor = db.vendor;
            if (!scriptFileName(vendor).isEmpty())
                pieces = splitScript(readScriptText(joinPath(session.workingFolder, scriptFileName(vendor))), delimiter);
            if (!package.tableSpaces.isEmpty())
                pieces = AplicaTableSpaces(session, db.alias, pieces);
        }
        planDatabase(session, entry, pieces, db, report);
        report.databases.push_back(db);
    }
    if (extracted && (package.existCatalogo || package.existMsg || package.existRotulo || package.existRestrFunc)
        && std::any_of(report.databases.begin(), report.databases.end(),
                       [](const DryRunDatabase &db) { return db.validated; }))
        predictCatalogRows(session, report);
    settleVerdict(report, package.versaoPacote);
    composeText(installer, report);
    removeWorkingFolder(session);
    writeReport(installer, report);
    return report;
}

DryRunReport refusedDryRunReport(Installer &installer, const QString &pageTitle)
{
    DryRunReport report;
    report.refused = true;
    report.refusalReasons << QStringLiteral("A página \"") + pageTitle + QStringLiteral("\" não pôde ser concluída.");
    if (installer.unattended)
        report.refusalReasons << withoutWindowAdvice(installer);
    const MemTable &checks = installer.cdsChecks;
    if (installer.activePage == tsCheck) {
        for (int row = 0; row < checks.count(); ++row) {
            if (checks.text(row, QStringLiteral("APROVADO")) != QStringLiteral("N"))
                continue;
            report.refusalReasons << QStringLiteral("Reprovado: ") + checks.text(row, QStringLiteral("ETAPA")) + QStringLiteral(" - ")
                                         + checks.text(row, QStringLiteral("DETALHES")) + QStringLiteral(": ")
                                         + checks.text(row, QStringLiteral("STATUS"));
        }
    }
    if (installer.activePage == tsIntro && !installer.session.packageProblem.isEmpty())
        report.refusalReasons << QStringLiteral("Pacote inválido: ") + installer.session.packageProblem;
    if (installer.activePage == tsScripts) {
        if (installer.cdsDbs.isEmpty())
            report.refusalReasons << QStringLiteral("Nenhum banco de dados encontrado no arquivo de versões e no registro.");
        report.refusalReasons << installer.unvalidatedDatabases();
    }
    settleVerdict(report, installer.session.package.versaoPacote);
    composeText(installer, report);
    // A refused first page may have left nothing in the working folder; remove it as every run does.
    removeWorkingFolder(installer.session);
    writeReport(installer, report);
    return report;
}

void Installer::performDryRun()
{
    runInProgress = true;
    DryRunReport report;
    {
        const auto reportEnded = qScopeGuard([this] { runInProgress = false; });
        report = buildDryRunReport(*this);
    }
    dryRunExit = report.exitStatus;
    dryRunText = report.text;
    dryRunFile = report.reportFile;
    if (!report.writeError.isEmpty())
        session.ui.error(QStringLiteral("Instalador Tivra*"),
                         QStringLiteral("Não foi possível gravar o relatório prévio: ") + report.writeError);
    if (!unattended)
        session.ui.showText(QStringLiteral("Relatório prévio da atualização"), report.text, true, false);
    Q_EMIT dryRunFinished();
}

void enableDryRun(Installer &installer)
{
    installer.dryRun = true;
    DbConnection::setReadOnly(true);
}

int runUnattendedDryRun(Installer &installer)
{
    installer.unattended = true;
    enableDryRun(installer);
    for (int step = 0; step < 64 && installer.dryRunExit < 0; ++step) {
        const Page before = installer.activePage;
        installer.NextPage();
        if (installer.dryRunExit >= 0)
            break;
        if (installer.activePage == before)
            break;
    }
    if (installer.dryRunExit < 0) {
        const DryRunReport report = refusedDryRunReport(installer, installer.header.title);
        printLine(report.text.trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        for (const QString &reason : report.refusalReasons)
            printLine(reason, stderr);
        if (report.reportFile.isEmpty())
            printLine(QStringLiteral("Não foi possível gravar o relatório prévio: ") + report.writeError, stderr);
        else
            printLine(QStringLiteral("Relatório: ") + QDir::toNativeSeparators(report.reportFile));
        return report.exitStatus;
    }
    printLine(installer.dryRunText.trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (installer.dryRunFile.isEmpty())
        printLine(QStringLiteral("Não foi possível gravar o relatório prévio."), stderr);
    else
        printLine(QStringLiteral("Relatório: ") + QDir::toNativeSeparators(installer.dryRunFile));
    return installer.dryRunExit;
}

}  // namespace tivra
