#include "catalog/catalogimport.h"

#include "core/session.h"
#include "db/newkeys.h"
#include "db/recordhelpers.h"
#include "db/sqlrunner.h"
#include "db/versiontables.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <map>

namespace tivra {

namespace {

void logLine(DbConnection &connection, const QString &text, int image)
{
    connection.session().UpdateStatus(text, true, QString(), image, false);
}

QString dateExpr(DbConnection &connection)
{
    return CurrentDateTimeExpr(connection.driverName(), QStringLiteral("D"));
}

QString timeExpr(DbConnection &connection)
{
    return CurrentDateTimeExpr(connection.driverName(), QStringLiteral("T"));
}

// A text value inside single quotes, its own quotes doubled.
QString q(const QString &value)
{
    return sqlQuoted(value);
}

QString n(qint64 value)
{
    return QString::number(value);
}

// The single quotes of a text doubled, for a value placed between quotes by a fixed text.
QString escaped(const QString &value)
{
    QString copy = value;
    return copy.replace(QLatin1Char('\''), QStringLiteral("''"));
}

qint64 lookup(DbConnection &connection, const QString &operation, const QString &select, const QString &column)
{
    const QString failure = QStringLiteral("Erro interno em \"") + operation + QStringLiteral("\". Mensagem: ");
    const std::optional<ResultTable> rows = RunQuery(connection, select, failure);
    if (!rows || rows->isEmpty())
        return 0;
    try {
        return rows->integer(0, column);
    } catch (const DbError &error) {
        logLine(connection, failure + error.message(), ImageError);
        return 0;
    }
}

bool run(DbConnection &connection, const QString &statement)
{
    return ExecSQLText(connection, statement, true);
}

// The map record of a name (without regard to case), or a new one inserted in name order.
TDadosColuna &mapRecord(ColumnMap &map, const QString &name, qint64 packageKey)
{
    const auto less = [](const TDadosColuna &a, const QString &b) { return a.NomeColuna.compare(b, Qt::CaseInsensitive) < 0; };
    auto it = std::lower_bound(map.begin(), map.end(), name, less);
    if (it != map.end() && it->NomeColuna.compare(name, Qt::CaseInsensitive) == 0)
        return *it;
    TDadosColuna record;
    record.NomeColuna = name;
    record.IdColunaPacote = packageKey;
    return *map.insert(it, record);
}

// The row of a table whose integer column equals a value; -1 when there is none.
int findRow(const ResultTable &table, const QString &column, qint64 value)
{
    const int index = table.columnIndex(column);
    if (index < 0)
        throw DbError(QStringLiteral("Campo \"") + column + QStringLiteral("\" não encontrado no resultado da consulta."));
    for (int r = 0; r < table.count(); ++r) {
        if (ResultTable::toInteger(table.rows()[size_t(r)].at(index)) == value)
            return r;
    }
    return -1;
}

// The key of the row just inserted: the key it was given (from MAX + 1 or the table's
// sequence), or, when that is not a number, the highest key of the table.
qint64 insertedKey(DbConnection &connection, const QString &key, const QString &table, const QString &keyField)
{
    bool ok = false;
    const qint64 value = key.trimmed().toLongLong(&ok);
    return ok ? value : GetMaxId(connection, table, keyField);
}

// A read the import cannot do without, kept by value (DbError when it failed).
ResultTable required(const std::optional<ResultTable> &result, const QString &what)
{
    return RequireResult(result, what);
}

// The columns of a packet that the database already has, read with one query per 200 names
// instead of a lookup and a read per column.
bool readColumns(DbConnection &connection, const QString &where, KnownColumns &into)
{
    const QString failure = QStringLiteral("Erro interno em \"GetIdColunaByNome\". Mensagem: ");
    const std::optional<ResultTable> rows =
        RunQuery(connection,
                 QStringLiteral("SELECT ID_CATALOGO_COLUNA, NOME_COLUNA, TIPO_DADO_ITEM, TIPO_DADO_INT_ITEM FROM CATALOGO_COLUNAS") + where +
                     QStringLiteral(" ORDER BY ID_CATALOGO_COLUNA"),
                 failure);
    if (!rows)
        return false;
    for (int r = 0; r < rows->count(); ++r)
        into.add(connection.vendor(), {rows->text(r, QStringLiteral("NOME_COLUNA")), rows->integer(r, QStringLiteral("ID_CATALOGO_COLUNA")),
                                       rows->integer(r, QStringLiteral("TIPO_DADO_ITEM")), rows->integer(r, QStringLiteral("TIPO_DADO_INT_ITEM"))});
    return true;
}

KnownColumns existingColumns(DbConnection &connection, const QStringList &names)
{
    KnownColumns result;
    for (qsizetype at = 0; at < names.size(); at += 200) {
        QStringList quoted;
        for (const QString &name : names.mid(at, 200))
            quoted.append(q(name));
        if (!readColumns(connection, QStringLiteral(" WHERE NOME_COLUNA IN (") + quoted.join(QStringLiteral(", ")) + QStringLiteral(")"),
                         result))
            (void)RequireResult(std::nullopt, QStringLiteral("GetIdColunaByNome"));
    }
    return result;
}

ResultTable packetTable(const std::optional<DataPacket> &packet)
{
    return packet ? packet->table() : ResultTable();
}

}  // namespace

QString KnownColumns::folded(const QString &name)
{
    QString text = name;
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text.toCaseFolded();
}

void KnownColumns::add(Vendor vendor, const Row &row)
{
    rows.push_back(row);
    const size_t at = rows.size() - 1;
    // A name that is there twice keeps its lowest key (rows come in key order).
    if (!exact.contains(row.name))
        exact.insert(row.name, at);
    if (vendor == Vendor::MSSQL && !loose.contains(folded(row.name)))
        loose.insert(folded(row.name), at);
}

KnownColumns::Row *KnownColumns::find(Vendor vendor, const QString &name)
{
    auto it = exact.constFind(name);
    if (it != exact.constEnd())
        return &rows[*it];
    if (vendor == Vendor::MSSQL) {
        it = loose.constFind(folded(name));
        if (it != loose.constEnd())
            return &rows[*it];
    }
    return nullptr;
}

bool KnownColumns::load(DbConnection &connection)
{
    clear();
    loaded = readColumns(connection, QString(), *this);
    if (!loaded)
        clear();
    return loaded;
}

void KnownColumns::clear()
{
    rows.clear();
    exact.clear();
    loose.clear();
    loaded = false;
}

bool hasComponentType(qint64 type)
{
    return type == 1 || type == 5 || type == 6;
}

// ---------------------------------------------------------------------------------------------
// Lookups

qint64 GetIdTabelaByNome(DbConnection &connection, const QString &name)
{
    return lookup(connection, QStringLiteral("GetIdTabelaByNome"),
                  QStringLiteral("SELECT ID_CATALOGO_TABELA FROM CATALOGO_TABELAS WHERE UPPER(NOME_TABELA) = '") +
                      escaped(name.toUpper()) + QStringLiteral("'"),
                  QStringLiteral("ID_CATALOGO_TABELA"));
}

qint64 GetIdColunaByNome(DbConnection &connection, const QString &name)
{
    return lookup(connection, QStringLiteral("GetIdColunaByNome"),
                  QStringLiteral("SELECT ID_CATALOGO_COLUNA FROM CATALOGO_COLUNAS WHERE NOME_COLUNA = '") + escaped(name) +
                      QStringLiteral("'"),
                  QStringLiteral("ID_CATALOGO_COLUNA"));
}

qint64 GetIdComponenteByNomeTabela(DbConnection &connection, const QString &name)
{
    return lookup(connection, QStringLiteral("GetIdComponenteByNomeTabela"),
                  QStringLiteral("SELECT ID_COMPONENTE FROM COMPONENTES A, CATALOGO_TABELAS B WHERE A.ID_CATALOGO_TABELA = "
                                 "B.ID_CATALOGO_TABELA AND UPPER(B.NOME_TABELA) = '") +
                      escaped(name.toUpper()) + QStringLiteral("'"),
                  QStringLiteral("ID_COMPONENTE"));
}

qint64 GetIdComponenteByNomeComponente(DbConnection &connection, const QString &name)
{
    return lookup(connection, QStringLiteral("GetIdComponenteByNomeComponente"),
                  QStringLiteral("SELECT ID_COMPONENTE FROM COMPONENTES WHERE UPPER(NOME_COMPONENTE) = '") + escaped(name.toUpper()) +
                      QStringLiteral("'"),
                  QStringLiteral("ID_COMPONENTE"));
}

QString GetDescricaoTabEstrut(DbConnection &connection, qint64 item, qint64 code)
{
    const QString failure =
        QStringLiteral("Erro ao buscar descricao para a tabela de código \"") + n(code) + QStringLiteral("\". Mensagem: ");
    const std::optional<ResultTable> rows =
        RunQuery(connection,
                 QStringLiteral("SELECT DESCRICAO FROM TAB_ESTRUTURADA WHERE COD_TABELA = ") + n(code) +
                     QStringLiteral(" AND ITEM_TABELA = ") + n(item),
                 failure);
    if (!rows || rows->isEmpty())
        return {};
    try {
        return rows->text(0, QStringLiteral("DESCRICAO"));
    } catch (const DbError &error) {
        logLine(connection, failure + error.message(), ImageError);
        return {};
    }
}

std::optional<ResultTable> GetDadosTabColDb(DbConnection &connection, qint64 tableKey)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT DISTINCT CT.NOME_TABELA, CTC.* FROM CATALOGO_TABELAS CT  INNER JOIN CATALOGO_TABCOL CTC ON "
                                   "CT.ID_CATALOGO_TABELA = CTC.ID_CATALOGO_TABELA  WHERE CT.ID_CATALOGO_TABELA = ") +
                        n(tableKey),
                    QStringLiteral("Erro interno no método \"GetDadosTabColDb\". Mensagem: "));
}

std::optional<ResultTable> GetDadosTabCompDb(DbConnection &connection, qint64 tableKey)
{
    return RunQuery(connection,
                    QStringLiteral("SELECT DISTINCT CT2.NOME_TABELA, TCOMP.* FROM CATALOGO_TABELAS CT    INNER JOIN COMPONENTES COMP "
                                   "INNER JOIN CATALOGO_TABCOMP TCOMP    INNER JOIN CATALOGO_TABCOL CTC INNER JOIN CATALOGO_TABELAS CT2  "
                                   "ON CT2.ID_CATALOGO_TABELA = CTC.ID_CATALOGO_TABELA  ON TCOMP.ID_TABCOL = CTC.ID_TABCOL  ON "
                                   "TCOMP.ID_COMPONENTE = COMP.ID_COMPONENTE  ON COMP.ID_CATALOGO_TABELA = CT.ID_CATALOGO_TABELA  "
                                   "WHERE CT.ID_CATALOGO_TABELA = ") +
                        n(tableKey),
                    QStringLiteral("Erro interno no método \"GetDadosTabCompDb\". Mensagem: "));
}

qint64 GetIdsTabCol(DbConnection &connection, const QString &columnName, qint64 tableKey, bool &found)
{
    if (columnName.isEmpty())
        return 0;
    try {
        QString select = QStringLiteral(
            "SELECT ID_TABCOL, NOME_COLUNA FROM CATALOGO_TABCOL A, CATALOGO_COLUNAS B WHERE A.ID_CATALOGO_COLUNA = "
            "B.ID_CATALOGO_COLUNA AND A.ID_CATALOGO_TABELA = :ID_CATALOGO_TABELA AND B.NOME_COLUNA IN (#NomesDeColunas)");
        select.replace(QStringLiteral("#NomesDeColunas"), q(columnName));
        select.replace(QStringLiteral(":ID_CATALOGO_TABELA"), n(tableKey));
        const ResultTable rows = required(GetOleData(connection, select), QStringLiteral("GetIdsTabCol"));
        for (int r = 0; r < rows.count(); ++r) {
            if (rows.text(r, QStringLiteral("NOME_COLUNA")) == columnName)
                return rows.integer(r, QStringLiteral("ID_TABCOL"));
        }
        found = false;
    } catch (const std::exception &) {
        found = false;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The table row

qint64 ImportarCatalogoTabela(DbConnection &connection, const std::optional<DataPacket> &tab, bool &success, QString &name,
                              qint64 &type, qint64 &tableKey)
{
    qint64 count = 0;
    try {
        const ResultTable t = packetTable(tab);
        if (t.count() != 1) {
            success = false;
            logLine(connection, QStringLiteral("Dados para importação do catálogo de tabelas inválidos!"), ImageError);
            return 0;
        }
        name = t.text(0, QStringLiteral("NOME_TABELA"));
        type = t.integer(0, QStringLiteral("TIPO_TABELA_ITEM"));
        const QString indEstruturado = t.text(0, QStringLiteral("IND_ESTRUTURADO"));
        const qint64 tipoTabelaTab = t.integer(0, QStringLiteral("TIPO_TABELA_TAB"));
        const qint64 idTabelaBase = t.integer(0, QStringLiteral("ID_TABELA_BASE"));
        const qint64 tipoChaveTab = t.integer(0, QStringLiteral("TIPO_CHAVE_TAB"));
        const qint64 tipoChaveItem = t.integer(0, QStringLiteral("TIPO_CHAVE_ITEM"));
        const qint64 numNiveis = t.integer(0, QStringLiteral("NUM_NIVEIS"));

        const ResultTable existing = required(
            GetOleRecordStr(connection, QStringLiteral("CATALOGO_TABELAS"), escaped(name), QStringLiteral("NOME_TABELA")),
            QStringLiteral("GetOleRecordStr"));
        if (!existing.isEmpty()) {
            tableKey = existing.integer(0, QStringLiteral("ID_CATALOGO_TABELA"));
            const QString dbIndicator = existing.text(0, QStringLiteral("IND_ESTRUTURADO"));
            if (existing.integer(0, QStringLiteral("TIPO_TABELA_ITEM")) == type && dbIndicator == indEstruturado &&
                existing.integer(0, QStringLiteral("ID_TABELA_BASE")) == idTabelaBase &&
                existing.integer(0, QStringLiteral("TIPO_CHAVE_ITEM")) == tipoChaveItem)
                return 0;
            // An unchanged indicator keeps the levels the database has.
            qint64 levels = existing.integer(0, QStringLiteral("NUM_NIVEIS"));
            if (dbIndicator != indEstruturado)
                levels = indEstruturado == QLatin1String("S") ? numNiveis : 0;
            const QString update = QStringLiteral("UPDATE CATALOGO_TABELAS SET IND_ESTRUTURADO = ") + q(indEstruturado) +
                                   QStringLiteral(", TIPO_TABELA_TAB = ") + n(tipoTabelaTab) + QStringLiteral(", TIPO_TABELA_ITEM = ") +
                                   n(type) + QStringLiteral(", TIPO_CHAVE_TAB = ") + n(tipoChaveTab) +
                                   QStringLiteral(", TIPO_CHAVE_ITEM = ") + SQLIntOrNull(tipoChaveItem) +
                                   QStringLiteral(", ID_TABELA_BASE = ") + SQLIntOrNull(idTabelaBase) + QStringLiteral(", NUM_NIVEIS = ") +
                                   SQLIntOrNull(levels) + QStringLiteral(" WHERE ID_CATALOGO_TABELA = ") + n(tableKey);
            if (run(connection, update))
                count = 1;
            else
                success = false;
            return count;
        }

        // The query text is bound as a parameter: it reaches the database as the package has it.
        const QString queryText = t.text(0, QStringLiteral("TEXTO_CONSULTA"));
        QString descr = t.text(0, QStringLiteral("DESCR_TABELA"));
        if (descr.isEmpty())
            descr = name;
        QString descrPl = t.text(0, QStringLiteral("DESCR_TABELA_PL"));
        if (descrPl.isEmpty())
            descrPl = name;
        const QString key = connection.newKeys().next(QStringLiteral("CATALOGO_TABELAS"), QStringLiteral("ID_CATALOGO_TABELA"));
        const QString insert =
            QStringLiteral("INSERT INTO CATALOGO_TABELAS (ID_CATALOGO_TABELA, NOME_TABELA, TIPO_TABELA_TAB, TIPO_TABELA_ITEM, "
                           "DESCR_TABELA, DESCR_TABELA_PL, IND_ESTRUTURADO, NUM_NIVEIS, TEXTO_CONSULTA, ID_TABELA_BASE, TIPO_CHAVE_TAB, "
                           "TIPO_CHAVE_ITEM, COD_OPERADOR, DT_ALTERACAO, HR_ALTERACAO, CONCORRENCIA) VALUES (") +
            key + QStringLiteral(", ") + q(name) + QStringLiteral(", ") + n(tipoTabelaTab) + QStringLiteral(", ") + n(type) +
            QStringLiteral(", ") + q(descr) + QStringLiteral(", ") + q(descrPl) + QStringLiteral(", ") + q(indEstruturado) +
            QStringLiteral(", ") + SQLIntOrNull(numNiveis) + QStringLiteral(", :TEXTO_CONSULTA, ") + SQLIntOrNull(idTabelaBase) +
            QStringLiteral(", ") + n(tipoChaveTab) + QStringLiteral(", ") + SQLIntOrNull(tipoChaveItem) + QStringLiteral(", ") +
            QStringLiteral("1, ") + dateExpr(connection) + QStringLiteral(", ") + timeExpr(connection) + QStringLiteral(", 0)");
        const bool inserted = ExecSQLParam(connection, insert, true, queryText, QStringLiteral("TEXTO_CONSULTA"));
        connection.newKeys().inserted(QStringLiteral("CATALOGO_TABELAS"));
        // The new row gives `name` its key type: a later key of that table reads it again.
        connection.newKeys().forgetKeyType(name);
        if (inserted) {
            tableKey = insertedKey(connection, key, QStringLiteral("CATALOGO_TABELAS"), QStringLiteral("ID_CATALOGO_TABELA"));
            count = 1;
        } else {
            success = false;
        }
    } catch (const std::exception &error) {
        // A field the import needs is missing, or a read failed: the table fails and says why.
        success = false;
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// The columns

qint64 ImportarCatalogoColunas(DbConnection &connection, const std::optional<DataPacket> &col, bool hasComponent, ColumnMap &map,
                               bool &success, KnownColumns *columns)
{
    qint64 count = 0;
    KnownColumns local;
    KnownColumns *existing = &local;
    // A write reported as done whose error the runner counts as expected: the database may not
    // hold what the copy says, so a shared copy is read again for the next table.
    bool stale = false;
    try {
        const ResultTable t = packetTable(col);
        // A column file that could not be loaded (absent, truncated) is no table without columns:
        // importing it as one would record the catalog as complete without its columns.
        if (t.isEmpty()) {
            if (hasComponent || !col) {
                success = false;
                logLine(connection, QStringLiteral("Dados para importação do catálogo de colunas inválidos!!"), ImageError);
            }
            return 0;
        }
        // On SQL Server the server's collation decides which other spellings of a name match, so
        // each table asks it about its own names there.
        if (columns && connection.vendor() != Vendor::MSSQL) {
            if (!columns->loaded && !columns->load(connection))
                (void)RequireResult(std::nullopt, QStringLiteral("GetIdColunaByNome"));
            existing = columns;
        } else {
            QStringList names;
            for (int r = 0; r < t.count(); ++r)
                names.append(t.text(r, QStringLiteral("NOME_COLUNA")));
            local = existingColumns(connection, names);
        }
        for (int r = 0; r < t.count() && success; ++r) {
            const QString name = t.text(r, QStringLiteral("NOME_COLUNA"));
            TDadosColuna &record = mapRecord(map, name, t.integer(r, QStringLiteral("ID_CATALOGO_COLUNA")));
            const qint64 tipoDadoItem = t.integer(r, QStringLiteral("TIPO_DADO_ITEM"));
            const qint64 tipoDadoIntItem = t.integer(r, QStringLiteral("TIPO_DADO_INT_ITEM"));
            const QString indColuna = t.text(r, QStringLiteral("IND_COLUNA"));
            QString descr = t.text(r, QStringLiteral("DESCR_COLUNA"));
            if (descr.isEmpty())
                descr = name;
            KnownColumns::Row *found = existing->find(connection.vendor(), name);
            const qint64 k = found ? found->key : 0;
            bool ok = true;
            if (k > 0) {
                record.IdColunaBanco = k;
                if (found->tipoDadoIntItem == tipoDadoIntItem && found->tipoDadoItem == tipoDadoItem)
                    continue;
                ok = run(connection, QStringLiteral("UPDATE CATALOGO_COLUNAS SET TIPO_DADO_INT_ITEM = ") + SQLIntOrNull(tipoDadoIntItem) +
                                         QStringLiteral(", TIPO_DADO_ITEM = ") + n(tipoDadoItem) + QStringLiteral(", IND_COLUNA = ") +
                                         q(indColuna) + QStringLiteral(", DESCR_COLUNA = ") + q(descr) +
                                         QStringLiteral(" WHERE ID_CATALOGO_COLUNA = ") + n(k));
                if (ok) {
                    found->tipoDadoItem = tipoDadoItem;
                    found->tipoDadoIntItem = tipoDadoIntItem;
                    stale = stale || !connection.lastWriteApplied();
                }
            } else {
                const qint64 tipoDadoTab = t.integer(r, QStringLiteral("TIPO_DADO_TAB"));
                const qint64 tipoDadoIntTab = t.integer(r, QStringLiteral("TIPO_DADO_INT_TAB"));
                const QString key = connection.newKeys().next(QStringLiteral("CATALOGO_COLUNAS"), QStringLiteral("ID_CATALOGO_COLUNA"));
                ok = run(connection,
                         QStringLiteral("INSERT INTO CATALOGO_COLUNAS (ID_CATALOGO_COLUNA, IND_COLUNA, NOME_COLUNA, DESCR_COLUNA, "
                                        "TIPO_DADO_TAB, TIPO_DADO_ITEM, TIPO_DADO_INT_TAB, TIPO_DADO_INT_ITEM, COD_OPERADOR, DT_ALTERACAO, "
                                        "HR_ALTERACAO, CONCORRENCIA) VALUES (") +
                             key + QStringLiteral(", ") + q(indColuna) + QStringLiteral(", ") + q(name) + QStringLiteral(", ") + q(descr) +
                             QStringLiteral(", ") + n(tipoDadoTab) + QStringLiteral(", ") + n(tipoDadoItem) + QStringLiteral(", ") +
                             SQLIntOrNull(tipoDadoIntTab) + QStringLiteral(", ") + SQLIntOrNull(tipoDadoIntItem) + QStringLiteral(", 1, ") +
                             dateExpr(connection) + QStringLiteral(", ") + timeExpr(connection) + QStringLiteral(", 0)"));
                connection.newKeys().inserted(QStringLiteral("CATALOGO_COLUNAS"));
                if (ok) {
                    record.IdColunaBanco = insertedKey(connection, key, QStringLiteral("CATALOGO_COLUNAS"), QStringLiteral("ID_CATALOGO_COLUNA"));
                    existing->add(connection.vendor(), {name, record.IdColunaBanco, tipoDadoItem, tipoDadoIntItem});
                    stale = stale || !connection.lastWriteApplied();
                }
            }
            ++count;
            if (!ok)
                success = false;
        }
    } catch (const std::exception &error) {
        success = false;
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
    }
    if (stale && columns)
        columns->clear();
    return count;
}

// ---------------------------------------------------------------------------------------------
// The table-column links

qint64 ImportarCatalogoTabCol(DbConnection &connection, qint64 tableKey, const QString &tableName, const std::optional<DataPacket> &tcl,
                              ColumnMap &map, bool hasComponent, bool &success)
{
    qint64 count = 0;
    try {
        const ResultTable t = packetTable(tcl);
        // As for the columns: a link file that could not be loaded fails every table.
        if (t.isEmpty() && (hasComponent || !tcl)) {
            success = false;
            logLine(connection, QStringLiteral("Dados para importação do catálogo de tabelas/colunas inválidos!"), ImageError);
            return 0;
        }
        const ResultTable links = required(GetDadosTabColDb(connection, tableKey), QStringLiteral("GetDadosTabColDb"));
        // The links by column name of each table asked about, read once per table (the lookup by
        // name of one link, for every column of the map, in one query). The map holds each name
        // once, so a link inserted below is never looked up again.
        std::map<qint64, ResultTable> linksByName;
        const auto idTabColByName = [&](const QString &column, qint64 linkTable, bool &found) -> qint64 {
            auto it = linksByName.find(linkTable);
            if (it == linksByName.end()) {
                const std::optional<ResultTable> rows = GetOleData(
                    connection, QStringLiteral("SELECT ID_TABCOL, NOME_COLUNA FROM CATALOGO_TABCOL A, CATALOGO_COLUNAS B WHERE "
                                               "A.ID_CATALOGO_COLUNA = B.ID_CATALOGO_COLUNA AND A.ID_CATALOGO_TABELA = ") +
                                    n(linkTable));
                if (!rows) {
                    found = false;
                    return 0;
                }
                it = linksByName.emplace(linkTable, *rows).first;
            }
            const ResultTable &rows = it->second;
            for (int r = 0; r < rows.count(); ++r) {
                if (rows.text(r, QStringLiteral("NOME_COLUNA")) == column)
                    return rows.integer(r, QStringLiteral("ID_TABCOL"));
            }
            found = false;
            return 0;
        };
        for (TDadosColuna &record : map) {
            record.IdTabColBanco = -1;
            const int p = t.isEmpty() ? -1 : findRow(t, QStringLiteral("ID_CATALOGO_COLUNA"), record.IdColunaPacote);
            if (p < 0) {
                // The package lacks the link of a column it lists: the table is reported as failed.
                success = false;
                logLine(connection, QStringLiteral("Dados para importação do catálogo de tabelas/colunas inválidos! Coluna \"") +
                                        record.NomeColuna + QStringLiteral("\" sem vínculo no pacote."),
                        ImageError);
                continue;
            }
            record.IdTabColPacote = t.integer(p, QStringLiteral("ID_TABCOL"));
            const int current = findRow(links, QStringLiteral("ID_CATALOGO_COLUNA"), record.IdColunaBanco);
            bool found = current >= 0;
            qint64 linkTable = tableKey;
            const QString packetTableName = t.text(p, QStringLiteral("NOME_TABELA"));
            if (packetTableName != tableName) {
                linkTable = GetIdTabelaByNome(connection, packetTableName);
                if (linkTable < 1)
                    continue;
            }
            const qint64 idItemEst = t.integer(p, QStringLiteral("ID_TABELA_ITEM_EST"));
            const qint64 idTabEst = t.integer(p, QStringLiteral("ID_TABELA_TAB_EST"));
            const qint64 ordemChave = t.integer(p, QStringLiteral("ORDEM_CHAVE_LOGICA"));
            const qint64 numNivel = t.integer(p, QStringLiteral("NUM_NIVEL"));
            const QString chaveFisica = t.text(p, QStringLiteral("IND_CHAVE_FISICA"));
            const QString autoRelac = t.text(p, QStringLiteral("IND_AUTO_RELAC"));
            const QString localizar = t.text(p, QStringLiteral("IND_LOCALIZAR"));
            const QString nulo = t.text(p, QStringLiteral("IND_NULO"));
            const qint64 sequencia = t.integer(p, QStringLiteral("SEQUENCIA"));
            const qint64 escala = t.integer(p, QStringLiteral("ESCALA"));
            const qint64 tipoColItem = t.integer(p, QStringLiteral("TIPO_COLUNA_ITEM"));
            const qint64 tipoColTab = t.integer(p, QStringLiteral("TIPO_COLUNA_TAB"));
            const QString descr = t.text(p, QStringLiteral("DESCR_COLUNA"));
            if (!found) {
                found = true;
                record.IdTabColBanco = idTabColByName(t.text(p, QStringLiteral("NOME_COLUNA")), linkTable, found);
            }
            bool ok = true;
            if (found) {
                std::optional<ResultTable> byKey;
                const ResultTable *row = &links;
                int rowIndex = current;
                if (record.IdTabColBanco > 0) {
                    byKey = GetRecordPK(connection, QStringLiteral("CATALOGO_TABCOL"), record.IdTabColBanco, QStringLiteral("ID_TABCOL"));
                    row = &RequireResult(byKey, QStringLiteral("GetRecordPK"));
                    rowIndex = 0;
                }
                record.IdTabColBanco = row->integer(rowIndex, QStringLiteral("ID_TABCOL"));
                if (row->integer(rowIndex, QStringLiteral("ID_TABELA_ITEM_EST")) == idItemEst &&
                    row->integer(rowIndex, QStringLiteral("ID_TABELA_TAB_EST")) == idTabEst &&
                    row->integer(rowIndex, QStringLiteral("ORDEM_CHAVE_LOGICA")) == ordemChave &&
                    row->integer(rowIndex, QStringLiteral("NUM_NIVEL")) == numNivel &&
                    row->text(rowIndex, QStringLiteral("IND_CHAVE_FISICA")) == chaveFisica &&
                    row->text(rowIndex, QStringLiteral("IND_AUTO_RELAC")) == autoRelac &&
                    row->text(rowIndex, QStringLiteral("IND_LOCALIZAR")) == localizar)
                    continue;
                ok = run(connection,
                         QStringLiteral("UPDATE CATALOGO_TABCOL SET ID_TABELA_ITEM_EST = ") + SQLIntOrNull(idItemEst) +
                             QStringLiteral(", ID_TABELA_TAB_EST = ") + SQLIntOrNull(idTabEst) + QStringLiteral(", ORDEM_CHAVE_LOGICA = ") +
                             SQLIntOrNull(ordemChave) + QStringLiteral(", NUM_NIVEL = ") + SQLIntOrNull(numNivel) +
                             QStringLiteral(", IND_CHAVE_FISICA = ") + q(chaveFisica) + QStringLiteral(", IND_AUTO_RELAC = ") + q(autoRelac) +
                             QStringLiteral(", IND_LOCALIZAR = ") + q(localizar) + QStringLiteral(", IND_NULO = ") + q(nulo) +
                             QStringLiteral(", SEQUENCIA = ") + n(sequencia) + QStringLiteral(", ESCALA = ") + n(escala) +
                             QStringLiteral(", TIPO_COLUNA_ITEM = ") + n(tipoColItem) + QStringLiteral(", TIPO_COLUNA_TAB = ") + n(tipoColTab) +
                             QStringLiteral(", DESCR_COLUNA = ") + q(descr) + QStringLiteral(" WHERE ID_TABCOL = ") + n(record.IdTabColBanco));
            } else {
                const QString key = connection.newKeys().next(QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("ID_TABCOL"));
                ok = run(connection,
                         QStringLiteral("INSERT INTO CATALOGO_TABCOL (ID_TABCOL, ID_CATALOGO_TABELA, ID_CATALOGO_COLUNA, TAMANHO, ESCALA, "
                                        "DESCR_COLUNA, IND_NULO, IND_LOCALIZAR, SEQUENCIA, ORDEM_CHAVE_LOGICA, IND_CHAVE_FISICA, "
                                        "IND_AUTO_RELAC, ID_TABELA_TAB_EST, ID_TABELA_ITEM_EST, TIPO_COLUNA_TAB, TIPO_COLUNA_ITEM, NUM_NIVEL, "
                                        "IND_LOG, IND_UPCASE, COD_OPERADOR, DT_ALTERACAO, HR_ALTERACAO, CONCORRENCIA) VALUES (") +
                             key + QStringLiteral(", ") + n(linkTable) + QStringLiteral(", ") + n(record.IdColunaBanco) + QStringLiteral(", ") +
                             n(t.integer(p, QStringLiteral("TAMANHO"))) + QStringLiteral(", ") + SQLIntOrNull(escala) + QStringLiteral(",  ") +
                             q(descr) + QStringLiteral(", ") + q(nulo) + QStringLiteral(", ") + q(localizar) + QStringLiteral(", ") +
                             n(sequencia) + QStringLiteral(", ") + SQLIntOrNull(ordemChave) + QStringLiteral(", ") + q(chaveFisica) +
                             QStringLiteral(", ") + q(autoRelac) + QStringLiteral(", ") + SQLIntOrNull(idTabEst) + QStringLiteral(", ") +
                             SQLIntOrNull(idItemEst) + QStringLiteral(", ") + n(tipoColTab) + QStringLiteral(", ") + n(tipoColItem) +
                             QStringLiteral(", ") + SQLIntOrNull(numNivel) + QStringLiteral(", 'N', ") +
                             q(t.text(p, QStringLiteral("IND_UPCASE"))) + QStringLiteral(", 1, ") + dateExpr(connection) +
                             QStringLiteral(", ") + timeExpr(connection) + QStringLiteral(", 0)"));
                connection.newKeys().inserted(QStringLiteral("CATALOGO_TABCOL"));
                if (ok)
                    record.IdTabColBanco = insertedKey(connection, key, QStringLiteral("CATALOGO_TABCOL"), QStringLiteral("ID_TABCOL"));
            }
            ++count;
            if (!ok)
                success = false;
        }
    } catch (const std::exception &error) {
        success = false;
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// The component and its column links

bool AlteraIdTabelaDoComponente(DbConnection &connection, qint64 componentKey, qint64 tableKey, const QString &tableName)
{
    if (tableKey <= 0)
        tableKey = GetIdTabelaByNome(connection, tableName);
    return run(connection, QStringLiteral("UPDATE COMPONENTES SET ID_CATALOGO_TABELA = ") + n(tableKey) +
                               QStringLiteral(" WHERE ID_COMPONENTE = ") + n(componentKey));
}

qint64 ImportarCatalogoComponente(DbConnection &connection, const QString &tableName, qint64 tableKey,
                                  const std::optional<DataPacket> &com, bool &success, qint64 &componentKey)
{
    try {
        const ResultTable t = packetTable(com);
        if (t.count() != 1) {
            success = false;
            logLine(connection, QStringLiteral("Dados para importação do catálogo de componentes inválidos!"), ImageError);
            return 0;
        }
        componentKey = GetIdComponenteByNomeTabela(connection, tableName);
        if (componentKey > 0)
            return 0;
        const QString name = t.text(0, QStringLiteral("NOME_COMPONENTE"));
        QString descr = t.text(0, QStringLiteral("DESCR_COMPONENTE"));
        if (descr.isEmpty())
            descr = name;
        componentKey = GetIdComponenteByNomeComponente(connection, name);
        if (componentKey != 0) {
            if (AlteraIdTabelaDoComponente(connection, componentKey, 0, tableName))
                return 1;
            success = false;
            return 0;
        }
        const QString key = connection.newKeys().next(QStringLiteral("COMPONENTES"), QStringLiteral("ID_COMPONENTE"));
        const bool inserted =
            run(connection, QStringLiteral("INSERT INTO COMPONENTES (ID_COMPONENTE, NOME_COMPONENTE, DESCR_COMPONENTE, ID_CATALOGO_TABELA, "
                                           "MAQUINA_SERVIDORA, VERSAO_COMPONENTE, TIPO_COMP_TAB, TIPO_COMP_ITEM, COD_OPERADOR, DT_ALTERACAO, "
                                           "HR_ALTERACAO, CONCORRENCIA) VALUES (") +
                                key + QStringLiteral(", ") + q(name) + QStringLiteral(", ") + q(descr) + QStringLiteral(", ") + n(tableKey) +
                                QStringLiteral(", '-', '-', 1103, 6, 1, ") + dateExpr(connection) + QStringLiteral(", ") +
                                timeExpr(connection) + QStringLiteral(", 0)"));
        connection.newKeys().inserted(QStringLiteral("COMPONENTES"));
        if (inserted) {
            componentKey = insertedKey(connection, key, QStringLiteral("COMPONENTES"), QStringLiteral("ID_COMPONENTE"));
            return 1;
        }
        success = false;
    } catch (const std::exception &error) {
        success = false;
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
    }
    return 0;
}

qint64 ImportarCatalogoTabComp(DbConnection &connection, qint64 tableKey, const std::optional<DataPacket> &tcp, qint64 componentKey,
                               ColumnMap &map, bool &success)
{
    qint64 count = 0;
    try {
        const ResultTable t = packetTable(tcp);
        if (t.isEmpty()) {
            success = false;
            logLine(connection, QStringLiteral("Dados para importação do catálogo de tabelas/colunas inválidos!"), ImageError);
            return 0;
        }
        const ResultTable links = required(GetDadosTabCompDb(connection, tableKey), QStringLiteral("GetDadosTabCompDb"));
        for (TDadosColuna &record : map) {
            if (!success)
                break;
            // A column whose table-column link was skipped (its table is not in this database) has
            // no link to attach the component to.
            if (record.IdTabColBanco <= 0)
                continue;
            const int p = findRow(t, QStringLiteral("ID_TABCOL"), record.IdTabColPacote);
            if (p < 0) {
                success = false;
                logLine(connection, QStringLiteral("Dados para importação do catálogo de tabelas/colunas inválidos! Coluna \"") +
                                        record.NomeColuna + QStringLiteral("\" sem vínculo de componente no pacote."),
                        ImageError);
                break;
            }
            const QString armazenado = t.text(p, QStringLiteral("IND_ARMAZENADO"));
            const qint64 ordem = t.integer(p, QStringLiteral("ORDEM_COL_COMP"));
            const int current = findRow(links, QStringLiteral("ID_TABCOL"), record.IdTabColBanco);
            bool ok = true;
            if (current >= 0) {
                record.IdTabCompBanco = links.integer(current, QStringLiteral("ID_TABCOMP"));
                if (links.text(current, QStringLiteral("IND_ARMAZENADO")) == armazenado &&
                    links.integer(current, QStringLiteral("ORDEM_COL_COMP")) == ordem)
                    continue;
                ok = run(connection, QStringLiteral("UPDATE CATALOGO_TABCOMP SET IND_ARMAZENADO = ") + q(armazenado) +
                                         QStringLiteral(", ORDEM_COL_COMP = ") + n(ordem) + QStringLiteral(" WHERE ID_TABCOMP = ") +
                                         n(record.IdTabCompBanco));
            } else {
                const QString key = connection.newKeys().next(QStringLiteral("CATALOGO_TABCOMP"), QStringLiteral("ID_TABCOMP"));
                ok = run(connection,
                         QStringLiteral("INSERT INTO CATALOGO_TABCOMP (ID_TABCOMP, ID_TABCOL, ID_COMPONENTE, IND_ARMAZENADO, "
                                        "IND_OBRIGATORIO,  ORDEM_COL_COMP, COD_OPERADOR, DT_ALTERACAO, HR_ALTERACAO, CONCORRENCIA) VALUES  (") +
                             key + QStringLiteral(", ") + n(record.IdTabColBanco) + QStringLiteral(", ") + n(componentKey) +
                             QStringLiteral(", ") + q(armazenado) + QStringLiteral(", ") + q(t.text(p, QStringLiteral("IND_OBRIGATORIO"))) +
                             QStringLiteral(", ") + n(ordem) + QStringLiteral(", 1, ") + dateExpr(connection) + QStringLiteral(", ") +
                             timeExpr(connection) + QStringLiteral(", 0)"));
                connection.newKeys().inserted(QStringLiteral("CATALOGO_TABCOMP"));
                if (ok)
                    record.IdTabCompBanco = insertedKey(connection, key, QStringLiteral("CATALOGO_TABCOMP"), QStringLiteral("ID_TABCOMP"));
            }
            ++count;
            if (!ok)
                success = false;
        }
    } catch (const std::exception &error) {
        success = false;
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// One table, one database

bool ImportarCatalogo(DbConnection &connection, const TablePackets &packets, KnownColumns *columns)
{
    InstallerSession &session = connection.session();
    try {
        bool success = true;
        qint64 nTabelas = 0, nColunas = 0, nTabCol = 0, nComponentes = 0, nTabComp = 0;
        ColumnMap map;
        QString name;
        qint64 type = 0;
        qint64 tableKey = 0;
        qint64 componentKey = 0;
        nTabelas = ImportarCatalogoTabela(connection, packets.tab, success, name, type, tableKey);
        const bool hasComponent = hasComponentType(type);
        if (success)
            nColunas = ImportarCatalogoColunas(connection, packets.col, hasComponent, map, success, columns);
        if (success)
            nTabCol = ImportarCatalogoTabCol(connection, tableKey, name, packets.tcl, map, hasComponent, success);
        if (success && hasComponent)
            nComponentes = ImportarCatalogoComponente(connection, name, tableKey, packets.com, success, componentKey);
        if (success && hasComponent)
            nTabComp = ImportarCatalogoTabComp(connection, tableKey, packets.tcp, componentKey, map, success);
        if (success) {
            const QString d = GetDescricaoTabEstrut(connection, type, 123);
            QString message;
            if (nTabelas + nColunas + nTabCol + nComponentes + nTabComp == 0)
                message = d + QStringLiteral(" ") + name + QStringLiteral(" está consistente e não foi necessário atualizá-la.");
            else if (hasComponent)
                message = d + QStringLiteral(" ") + name + QStringLiteral(" atualizada no catálogo com sucesso! Corrigidos ") + n(nTabelas) +
                          QStringLiteral(" registros em CATALOGO_TABELAS, ") + n(nComponentes) + QStringLiteral(" em COMPONENTES, ") +
                          n(nColunas) + QStringLiteral(" EM CATALOGO_COLUNAS, ") + n(nTabCol) + QStringLiteral(" em CATALOGO_TABCOL e ") +
                          n(nTabComp) + QStringLiteral(" em CATALOGO_TABCOMP!");
            else
                message = QStringLiteral("\"") + name + QStringLiteral("\" atualizada no catálogo com sucesso! Corrigidos ") + n(nTabelas) +
                          QStringLiteral(" registros em CATALOGO_TABELAS, ") + n(nColunas) + QStringLiteral(" em CATALOGO_COLUNAS e ") +
                          n(nTabCol) + QStringLiteral(" em CATALOGO_TABCOL!");
            logLine(connection, message, ImageSuccess);
            session.logbook.append(QStringLiteral("- ") + message);
        } else {
            QString message;
            if (name.isEmpty())
                message = QStringLiteral("Erro ao atualizar os dados no catálogo do sistema!");
            else if (type == 1)
                message = QStringLiteral("Erro ao atualizar a tabela \"") + name + QStringLiteral("\" no catálogo do sistema!");
            else if (type == 6)
                message = QStringLiteral("Erro ao atualizar \"Ulvara\" no catálogo do sistema!");
            else
                message = QStringLiteral("Erro ao atualizar \"") + name + QStringLiteral("\" no catálogo do sistema!");
            logLine(connection, message, ImageError);
            session.logbook.append(QStringLiteral("-") + message);
        }
        return success;
    } catch (const std::exception &error) {
        logLine(connection, QString::fromUtf8(error.what()), ImageError);
        return false;
    }
}

bool ExportaCatalogoComErro(InstallerSession &session, int entry)
{
    // A read-only run (the pre-flight report) writes nothing into the log folder but its report.
    if (DbConnection::readOnly())
        return false;
    const QString folder = QDir(session.pathLog).filePath(QStringLiteral("CatalogoComErro"));
    if (!QDir().mkpath(folder))
        return false;
    // The alias names the copy; characters that would lead elsewhere are replaced.
    QString alias = session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
    for (QChar &c : alias) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':'))
            c = QLatin1Char('_');
    }
    if (alias.isEmpty() || alias == QLatin1String(".") || alias == QLatin1String(".."))
        alias = QStringLiteral("_");
    const QString target = QDir(folder).filePath(alias + QStringLiteral(".zip"));
    if (QFile::exists(target))
        QFile::remove(target);
    return QFile::copy(QDir(session.workingFolder).filePath(kCatalogArchiveName), target);
}

void ImportaCatalogoMulti(InstallerSession &session, int entry, const std::vector<TablePackets> &tables)
{
    const QString alias = session.cdsDbs.text(entry, QStringLiteral("ALIAS"));
    DbConnection connection(session);
    session.UpdateStatus(QStringLiteral("Atualizando ") + n(qint64(tables.size())) + QStringLiteral(" Catálogos no banco \"") + alias +
                             QStringLiteral("\"..."),
                         true, kStageCatalogoTabelas, ImageSuccess, true);
    if (!ConnectCurrentEntry(connection, entry)) {
        session.UpdateStatus(QStringLiteral("Erro de conexão ao banco \"") + alias + QStringLiteral("\"."), true, kStageCatalogoTabelas,
                             ImageError, true);
        return;
    }
    qint64 failures = 0;
    KnownColumns columns;  // read once for all the tables
    const qint64 count = qint64(tables.size());
    qint64 done = 0;
    for (const TablePackets &table : tables) {
        session.status.reportProgress(done++, count, ProgressUnit::Tables);
        if (!ImportarCatalogo(connection, table, &columns))
            ++failures;
    }
    session.status.reportProgress(done, count, ProgressUnit::Tables);
    session.status.endProgress();
    if (failures == 0) {
        session.UpdateStatus(QStringLiteral("     Todos os Catálogos de Tabelas foram atualizados com sucesso!"), false, kStageCatalogoTabelas,
                             ImageSuccess, true);
        AtualizaStatusVersao(session, entry, kVsPackCatalogo, kStatusComplete);
        return;
    }
    session.UpdateStatus(failures == 1 ? QStringLiteral("     1 Catálogo de Tabela não foi atualizado. Veja o Log para mais detalhes.")
                                       : QStringLiteral("     ") + n(failures) +
                                             QStringLiteral(" Catálogos de Tabelas não foram atualizados. Veja o Log para mais detalhes."),
                         false, kStageCatalogoTabelas, ImageError, true);
    if (ExportaCatalogoComErro(session, entry))
        session.UpdateStatus(QStringLiteral("     Arquivo de Catálogo foi exportado para atualização manual."), true, kStageCatalogoTabelas,
                             ImageSuccess, true);
    AtualizaStatusVersao(session, entry, kVsPackCatalogo, kStatusPartial);
}

}  // namespace tivra
