#include "db/versionchecks.h"

#include "core/session.h"
#include "core/userinterface.h"
#include "db/sqlrunner.h"
#include "db/versiontables.h"

namespace tivra {

namespace {

const QString kVersaoInicial = QStringLiteral("0.0.000");

using Decision = VersionCheck;

Decision approved(bool partial = false)
{
    return {QStringLiteral("S"), QStringLiteral("Aprovado"), partial, {}};
}
Decision rejected(const QString &message, bool partial = false)
{
    return {QStringLiteral("N"), QStringLiteral("Reprovado"), partial, message};
}
Decision ignored(const QString &message)
{
    return {QStringLiteral("-"), QStringLiteral("Ignorado"), false, message};
}

}  // namespace

// The checks page's decision for one version table: P package, R required, D and S of the
// table's highest version.
VersionCheck decideVersionRow(qint64 p, qint64 r, qint64 d, qint64 s, const QString &label, const QString &requerida,
                              const QString &place)
{
    const QString item = QStringLiteral("\"") + label + QStringLiteral("\"");
    if (d == 0 && r != 0)
        return rejected(QStringLiteral("É necessário concluir a instalação da versão \"") + requerida + QStringLiteral("\"") + place +
                        QStringLiteral("."));
    if (d == 0)
        return approved();
    if (d == p && s == kStatusComplete)
        return ignored(QStringLiteral("Versão atual do ") + item +
                       QStringLiteral(" já encontra-se atualizada com a mesma versão do pacote") + place +
                       QStringLiteral(". Ignorado da atualização."));
    if (d == p)
        return approved(true);
    if (d > p)
        return ignored(QStringLiteral("Versão atual do ") + item + QStringLiteral(" é superior a versão do pacote") + place +
                       QStringLiteral(". Ignorado da atualização."));
    if (s == kStatusComplete && d < r)
        return rejected(QStringLiteral("Versão do item ") + item + QStringLiteral(" deve ser atualizada para a versão requerida") +
                        place + QStringLiteral("."));
    if (s == kStatusComplete)
        return approved();
    return rejected(QStringLiteral("Versão atual do ") + item + QStringLiteral(" está PARCIALMENTE instalada") + place +
                        QStringLiteral(". Execute novamente seu instalador."),
                    true);
}

PackRunDecision packRunDecision(qint64 p, qint64 r, bool empty, qint64 d, qint64 s)
{
    if (empty)
        return PackRunDecision::Run;
    if (p < d)
        return PackRunDecision::SkipNewer;
    if (p == d)
        return s == kStatusComplete ? PackRunDecision::SkipSameComplete : PackRunDecision::Run;
    return r < 1 ? PackRunDecision::Run : PackRunDecision::CheckRequired;
}

HighestVersion readHighestVersionUnchanged(DbConnection &connection, const QString &table, const QString &packageVersion,
                                          bool correction)
{
    HighestVersion result;
    if (!ExecSQLText(connection, QStringLiteral("SELECT 1 FROM ") + table, false)) {
        result.read = true;
        result.exists = false;
        return result;
    }
    if (!correction) {
        const std::optional<ResultTable> found = BuscaMaxStatusPack(connection, table);
        if (!found)
            return result;
        result.read = true;
        if (!found->isEmpty()) {
            result.empty = false;
            result.version = found->text(0, QStringLiteral("VERSAO_PACK"));
            result.status = found->integer(0, QStringLiteral("STATUS"));
        }
        return result;
    }
    // The highest VERSAO_PACK in text order, as BuscaMaxStatusPack orders, among the rows the
    // correction keeps.
    const std::optional<ResultTable> rows =
        RunQuery(connection, QStringLiteral("SELECT VERSAO_PACK, STATUS FROM ") + table,
                 QStringLiteral("Erro interno no método \"BuscaMaxStatusPack\". Mensagem: "));
    if (!rows)
        return result;
    result.read = true;
    for (int row = 0; row < rows->count(); ++row) {
        const QString version = rows->text(row, QStringLiteral("VERSAO_PACK"));
        const qint64 status = rows->integer(row, QStringLiteral("STATUS"));
        if (version == packageVersion && status != kStatusComplete)
            continue;
        if (result.empty || version > result.version) {
            result.empty = false;
            result.version = version;
            result.status = status;
        }
    }
    return result;
}

namespace {

void appendCheck(InstallerSession &session, const QString &etapa, const QString &detalhes, const QString &aprovado,
                 const QString &status)
{
    session.cdsChecks.append({{QStringLiteral("ETAPA"), etapa},
                              {QStringLiteral("DETALHES"), detalhes},
                              {QStringLiteral("APROVADO"), aprovado},
                              {QStringLiteral("STATUS"), status}});
}

}  // namespace

std::vector<VersionRowKind> versionRowKinds()
{
    return {{QStringLiteral("Banco de Dados"), kVsPackBanco},
            {QStringLiteral("Cat. de Tabelas"), kVsPackCatalogo},
            {QStringLiteral("Cat. de Mensagens"), kVsPackMsg},
            {QStringLiteral("Cat. Rótulos"), kVsPackRotulo},
            {QStringLiteral("Tabelas Estruturadas"), kVsPackTabEstrut}};
}

void CheckPermissaoVersoes(InstallerSession &session, bool unchanged)
{
    const PackageSettings &package = session.package;
    const qint64 p = versionNumber(package.versaoPacote);
    const qint64 r = versionNumber(package.versaoRequerida);

    if (!unchanged && !CreateTableVersoes(session)) {
        appendCheck(session, QStringLiteral("Validação de Versões"),
                    QStringLiteral("Erro ao verificar tabela de versões, impossível continuar."), QStringLiteral("N"),
                    QStringLiteral("Reprovado"));
        return;
    }
    session.ui.processEvents();

    const MemTable &dbs = session.cdsDbs;
    for (int entry = 0; entry < dbs.count(); ++entry) {
        if (dbs.integer(entry, QStringLiteral("IMAGE")) != ImageSuccess)
            continue;
        DbConnection connection(session);
        if (!ConnectCurrentEntry(connection, entry))
            continue;  // the connection layer has logged why
        const QString alias = dbs.text(entry, QStringLiteral("ALIAS"));
        const QString etapa = QStringLiteral("Validação de Versões (Banco: ") + alias + QStringLiteral(") -> Pacote: ") +
                              package.versaoPacote + QStringLiteral(" / Requerido: ") + package.versaoRequerida;
        const QString place = QStringLiteral(" no banco \"") + alias + QStringLiteral("\"");
        for (const VersionRowKind &kind : versionRowKinds()) {
            std::optional<ResultTable> found;
            if (unchanged) {
                const HighestVersion highest =
                    readHighestVersionUnchanged(connection, kind.table, package.versaoPacote, package.packCorrecao);
                if (highest.read && highest.empty)
                    found = ResultTable({QStringLiteral("STATUS"), QStringLiteral("VERSAO_PACK")}, {});
                else if (highest.read)
                    found = ResultTable({QStringLiteral("STATUS"), QStringLiteral("VERSAO_PACK")},
                                        {{QVariant(highest.status), QVariant(highest.version)}});
            } else {
                found = BuscaMaxStatusPack(connection, kind.table);
            }
            if (!found) {
                // The read has logged its failure; a table that cannot be read cannot approve.
                appendCheck(session, etapa,
                            kind.label + QStringLiteral(" -> Erro ao verificar tabela de versões, impossível continuar."),
                            QStringLiteral("N"), QStringLiteral("Reprovado"));
                continue;
            }
            QString current = kVersaoInicial;
            qint64 d = 0;
            qint64 s = 0;
            if (!found->isEmpty()) {
                current = found->text(0, QStringLiteral("VERSAO_PACK"));
                d = versionNumber(current);
                s = found->integer(0, QStringLiteral("STATUS"));
            }
            const Decision decision = decideVersionRow(p, r, d, s, kind.label, package.versaoRequerida, place);
            QString detalhes = kind.label + QStringLiteral(" -> Atual: ") + current;
            if (decision.partial)
                detalhes += QStringLiteral(" (Instalada PARCIALMENTE)");
            appendCheck(session, etapa, detalhes, decision.aprovado, decision.status);
            if (!decision.message.isEmpty())
                session.UpdateStatus(decision.message, true, QString(), ImageSuccess, false);
        }
    }
}

bool CanUpdatePackDataBase(InstallerSession &session, int entry, const QString &stage, const QString &table)
{
    const PackageSettings &package = session.package;
    if (package.ignorarVersao)
        return true;
    const auto row = [&](const QString &text, int image) { session.UpdateStatus(text, true, stage, image, true); };
    const QString alias =
        entry >= 0 && entry < session.cdsDbs.count() ? session.cdsDbs.text(entry, QStringLiteral("ALIAS")) : QString();
    const QString item = stage.mid(4);
    const QString readFailed = QStringLiteral("Erro ao ler a tabela de versões (") + table + QStringLiteral(") do banco \"") +
                               alias + QStringLiteral("\". Banco ignorado.");

    DbConnection connection(session);
    if (!ConnectCurrentEntry(connection, entry)) {
        row(QStringLiteral("Erro durante a autenticação em \"") + alias + QStringLiteral("\". Banco ignorado."), ImageError);
        return false;
    }
    const std::optional<ResultTable> found = BuscaMaxStatusPack(connection, table);
    if (!found) {
        row(readFailed, ImageError);
        return false;
    }
    if (found->isEmpty())
        return true;

    const qint64 p = versionNumber(package.versaoPacote);
    const qint64 r = versionNumber(package.versaoRequerida);
    const QString versao = found->text(0, QStringLiteral("VERSAO_PACK"));
    const qint64 d = versionNumber(versao);
    const qint64 s = found->integer(0, QStringLiteral("STATUS"));
    const PackRunDecision decision = packRunDecision(p, r, false, d, s);
    if (decision == PackRunDecision::SkipNewer) {
        row(item + QStringLiteral(" não pode ser atualizado no banco \"") + alias +
                QStringLiteral("\" pois já existe uma versão superior instalada (") + versao + QStringLiteral(")."),
            ImageIgnored);
        return false;
    }
    if (decision == PackRunDecision::SkipSameComplete) {
        row(item + QStringLiteral(" já atualizado no banco \"") + alias + QStringLiteral("\" com a mesma versão."), ImageIgnored);
        return false;
    }
    if (decision == PackRunDecision::Run)
        return true;  // an older version, or an unfinished run of this version is repeated
    const std::optional<ResultTable> required = BuscaRegistroDaVersao(connection, table, package.versaoRequerida);
    if (!required) {
        row(readFailed, ImageError);
        return false;
    }
    const qint64 requiredStatus = required->isEmpty() ? 0 : required->integer(0, QStringLiteral("STATUS"));
    if (requiredStatus == kStatusComplete)
        return true;
    row(item + QStringLiteral(" ignorado(a). Versão requerida está parcialmente concluída no banco \"") + alias +
            QStringLiteral("\"."),
        ImageIgnored);
    return false;
}

}  // namespace tivra
