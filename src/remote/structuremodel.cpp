#include "remote/structuremodel.h"

#include "core/logfiles.h"
#include "core/session.h"
#include "db/connection.h"
#include "db/recordhelpers.h"
#include "db/resulttable.h"
#include "package/packagearchive.h"
#include "package/packagewriter.h"
#include "remote/finalreport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <stdexcept>

namespace tivra::remote {

namespace {

const QString kStage = QStringLiteral("13. Conclusão");

const std::array<QString, 6> kDb2Statements{
    QStringLiteral("select c.tabname as Tabela, c.colname as Coluna, c.typename as Tipo, c.length as Tamanho, c.scale as "
                   "Escala, c.default as Padrao, c.nulls as Nulo, c.colno as Posicao from syscat.columns c join "
                   "syscat.tables t on t.tabname = c.tabname and t.type = 'T' where c.tabschema = 'DBSM' and t.tabschema "
                   "= 'DBSM' and c.tabname not like 'ADVISE_%' and c.tabname not like 'EXPLAIN_%' order by c.tabname, "
                   "c.colno"),
    QStringLiteral("select tc.constname as Nome, tc.tabname as Tabela,  k.colname as Coluna, k.colseq as Posicao from "
                   "syscat.tabconst tc join syscat.keycoluse k on k.constname = tc.constname and tc.tabname = k.tabname "
                   "where tc.tabschema = 'DBSM' and tc.type = 'P' order by tc.tabname, tc.constname, k.colseq"),
    QStringLiteral("select tc.constname as Nome, tc.tabname as Tabela, k.colname as Coluna, k.colseq as Posicao from "
                   "syscat.tabconst tc join syscat.keycoluse k on k.constname = tc.constname and tc.tabname = k.tabname "
                   "where tc.tabschema = 'DBSM' and tc.type = 'U' order by tc.tabname, tc.constname, k.colseq"),
    QStringLiteral("select r.constname as Nome, r.tabname as Tabela, k.colname as Coluna, r.reftabname as TabelaRef, "
                   "k2.colname as ColunaRef, k.colseq as Posicao, r.deleterule as RegraDelete from syscat.references r "
                   "join syscat.tables t on t.tabname = r.tabname join syscat.keycoluse k on k.constname = r.constname "
                   "and r.tabname = k.tabname join syscat.keycoluse k2 on k2.constname = r.refkeyname and r.reftabname "
                   "= k2.tabname and k.colseq = k2.colseq where t.type = 'T' and t.tabschema = 'DBSM'  order by "
                   "r.tabname, r.constname, k.colseq "),
    QStringLiteral("select i.indname as Nome,i.tabname as Tabela, c.colname as Coluna, i.uniquerule as Unico, c.colseq "
                   "as Posicao from syscat.indexes i join syscat.indexcoluse c on c.indname = i.indname where "
                   "i.tabschema = 'DBSM' and i.uniquerule <> 'P' order by i.tabname, i.indname, i.uniquerule, c.colseq"),
    QStringLiteral("select c.tabname as Tabela, c.constname as Nome, c.text as Condicao from syscat.checks c join "
                   "syscat.tables t on t.tabname = c.tabname and t.type = 'T' where c.tabschema = 'DBSM' and t.tabschema "
                   "= 'DBSM' order by c.tabname, c.constname"),
};

const std::array<QString, 6> kOracleStatements{
    QStringLiteral("select c.table_name as Tabela, c.column_name as Coluna, c.data_type as Tipo, c.data_length as "
                   "Tamanho, c.data_scale as Escala, c.data_default as Padrao, c.nullable  as Nulo, c.column_id as "
                   "Posicao from user_tab_columns c join user_tables t on c.table_name = t.table_name order by "
                   "c.table_name, c.column_id"),
    QStringLiteral("select a.constraint_name as Nome, a.table_name as Tabela, b.column_name as Coluna, b.position as "
                   "Posicao from user_constraints a join all_cons_columns b on a.constraint_name = b.constraint_name "
                   "where constraint_type = 'P' order by a.table_name, a.constraint_name, b.position"),
    QStringLiteral("select a.constraint_name as Nome, a.table_name as Tabela, b.column_name as Coluna, b.position as "
                   "Posicao from user_constraints a join all_cons_columns b on a.constraint_name = b.constraint_name "
                   "where constraint_type = 'U' order by a.table_name, a.constraint_name, b.position"),
    QStringLiteral("select a.constraint_name as Nome, a.table_name as Tabela, b.column_name as Coluna, c.table_name as "
                   "TabelaRef, c.column_name as ColunaRef, c.position as Posicao, a.delete_rule as RegraDelete from "
                   "user_constraints a join all_cons_columns b on a.constraint_name = b.constraint_name join "
                   "all_cons_columns c on a.r_constraint_name = c.constraint_name and b.position = c.position where "
                   "constraint_type = 'R' order by a.table_name, a.constraint_name, c.position"),
    QStringLiteral("select a.index_name as Nome, a.table_name as Tabela, a.column_name as Coluna, b.uniqueness as Unico, "
                   "a.column_position as Posicao from user_ind_columns a join user_indexes b on a.index_name = "
                   "b.index_name left join user_constraints c on b.index_name = c.index_name where c.constraint_type is "
                   "null order by a.table_name, a.index_name, b.uniqueness, a.column_position"),
    QStringLiteral("select table_name as Tabela, constraint_name as Nome, search_condition as Condicao from "
                   "user_constraints where constraint_type = 'C' and search_condition is not null order by table_name, "
                   "constraint_name"),
};

constexpr int kNameWidth = 32;

PacketField stringField(const char *name, int width = kNameWidth)
{
    PacketField field;
    field.name = QString::fromLatin1(name);
    field.type = PacketFieldType::String;
    field.width = width;
    return field;
}

PacketField typedField(const char *name, PacketFieldType type)
{
    PacketField field;
    field.name = QString::fromLatin1(name);
    field.type = type;
    if (type == PacketFieldType::Memo)
        field.subtype = QStringLiteral("Text");
    return field;
}

// A name of the catalog as the model's fixed 32-character fields hold it.
QVariant nameValue(const ResultTable &table, int row, const QString &column)
{
    if (table.isNull(row, column))
        return {};
    return table.text(row, column).left(kNameWidth);
}

QVariant integerOrNull(const ResultTable &table, int row, const QString &column)
{
    if (table.isNull(row, column))
        return {};
    return table.integer(row, column);
}

void appendRow(DataPacket &packet, QVariantList values)
{
    PacketRow row;
    row.values = std::move(values);
    packet.rows.push_back(std::move(row));
}

}  // namespace

std::optional<std::array<QString, 6>> structureStatements(const QString &driverName)
{
    if (driverName == QStringLiteral("DB2"))
        return kDb2Statements;
    if (driverName == QStringLiteral("ORACLE"))
        return kOracleStatements;
    return std::nullopt;
}

QString modelTypeName(const QString &vendorType)
{
    static const QHash<QString, QString> types{
        {QStringLiteral("BIGINT"), QStringLiteral("Integer")},     {QStringLiteral("BLOB"), QStringLiteral("Blob")},
        {QStringLiteral("CHARACTER"), QStringLiteral("String")},   {QStringLiteral("CLOB"), QStringLiteral("Clob")},
        {QStringLiteral("DATE"), QStringLiteral("Date")},          {QStringLiteral("DECIMAL"), QStringLiteral("Double")},
        {QStringLiteral("DOUBLE"), QStringLiteral("Double")},      {QStringLiteral("INTEGER"), QStringLiteral("Integer")},
        {QStringLiteral("LONG VARCHAR"), QStringLiteral("Text")},  {QStringLiteral("REAL"), QStringLiteral("Double")},
        {QStringLiteral("SMALLINT"), QStringLiteral("Integer")},   {QStringLiteral("TIME"), QStringLiteral("Time")},
        {QStringLiteral("TIMESTAMP"), QStringLiteral("TimeStamp")}, {QStringLiteral("TIMESTAMP(6)"), QStringLiteral("TimeStamp")},
        {QStringLiteral("VARCHAR"), QStringLiteral("Text2")},      {QStringLiteral("NUMBER"), QStringLiteral("Double")},
        {QStringLiteral("CHAR"), QStringLiteral("String")},        {QStringLiteral("VARCHAR2"), QStringLiteral("Text2")},
    };
    return types.value(vendorType);
}

QString sortedInListCondition(const QString &condition)
{
    const QString marker = QStringLiteral(" IN (");
    if (!condition.contains(marker))
        return condition;
    const QString trimmed = condition.trimmed();
    const QString column = trimmed.section(QLatin1Char(' '), 0, 0);
    const qsizetype open = trimmed.indexOf(marker);
    if (open < 0)
        return condition;  // the marker was only in the blanks trimmed away
    const qsizetype start = open + marker.size();
    qsizetype close = trimmed.indexOf(QLatin1Char(')'), start);
    if (close < 0)
        close = trimmed.size();
    QStringList elements = trimmed.mid(start, close - start).split(QLatin1Char(','));
    for (QString &element : elements) {
        element = element.trimmed();
        element.remove(QLatin1Char('"'));
    }
    std::stable_sort(elements.begin(), elements.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return column + marker + elements.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString upperOutsideLiterals(const QString &condition)
{
    QString result = condition.trimmed();
    bool inside = false;
    for (QChar &c : result) {
        if (c == u'\'')
            inside = !inside;
        else if (!inside && c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return result;
}

std::array<DataPacket, 6> buildStructureModel(const QString &driverName, const RawStructure &raw)
{
    const bool oracle = driverName == QStringLiteral("ORACLE");
    std::array<DataPacket, 6> model;
    DataPacket &columns = model[0];
    DataPacket &checks = model[1];
    DataPacket &references = model[2];
    DataPacket &primaryKey = model[3];
    DataPacket &uniqueKey = model[4];
    DataPacket &index = model[5];
    columns.fields = {stringField("Tabela"), stringField("Coluna"), stringField("Tipo"),
                      typedField("Tamanho", PacketFieldType::Int32), typedField("Escala", PacketFieldType::Int32),
                      typedField("Padrao", PacketFieldType::Memo), typedField("Nulo", PacketFieldType::Boolean),
                      typedField("Posicao", PacketFieldType::Int32)};
    checks.fields = {stringField("Nome"), stringField("Tabela"), typedField("Condicao", PacketFieldType::Memo)};
    references.fields = {stringField("Nome"), stringField("Tabela"), stringField("Coluna"), stringField("TabelaRef"),
                         stringField("ColunaRef"), typedField("Posicao", PacketFieldType::Int32),
                         stringField("RegraDelete", 1)};
    primaryKey.fields = {stringField("Tabela"), stringField("Nome"), stringField("Coluna"),
                         typedField("Posicao", PacketFieldType::Int32)};
    uniqueKey.fields = {stringField("Nome"), stringField("Tabela"), stringField("Coluna"),
                        typedField("Posicao", PacketFieldType::Int32)};
    index.fields = {stringField("Nome"), stringField("Tabela"), stringField("Coluna"),
                    typedField("Unico", PacketFieldType::Boolean), typedField("Posicao", PacketFieldType::Int32)};

    // Columns.
    if (const ResultTable *t = raw.columns) {
        for (int row = 0; row < t->count(); ++row) {
            QString type = modelTypeName(t->text(row, QStringLiteral("Tipo")));
            QVariant size = integerOrNull(*t, row, QStringLiteral("Tamanho"));
            const QVariant scale = integerOrNull(*t, row, QStringLiteral("Escala"));
            const QString column = t->text(row, QStringLiteral("Coluna"));
            if (oracle) {
                if (type == QStringLiteral("Double") && (!scale.isValid() || scale.toLongLong() == 0))
                    type = QStringLiteral("Integer");
                if (type == QStringLiteral("Date") && column.startsWith(QStringLiteral("HR_")))
                    type = QStringLiteral("Time");
                if (type == QStringLiteral("Blob") || type == QStringLiteral("Clob"))
                    size = qint64(-1);
            }
            const QVariant defaultValue = t->isNull(row, QStringLiteral("Padrao"))
                                              ? QVariant()
                                              : QVariant(t->text(row, QStringLiteral("Padrao")).trimmed());
            appendRow(columns, {nameValue(*t, row, QStringLiteral("Tabela")), nameValue(*t, row, QStringLiteral("Coluna")),
                                type, size, scale, defaultValue, t->text(row, QStringLiteral("Nulo")) == QStringLiteral("Y"),
                                integerOrNull(*t, row, QStringLiteral("Posicao"))});
        }
    }
    // Checks: the NOT NULL conditions Oracle generates go; lists are sorted; the rest is upper-cased
    // outside literals.
    if (const ResultTable *t = raw.checks) {
        for (int row = 0; row < t->count(); ++row) {
            QString condition = t->text(row, QStringLiteral("Condicao"));
            if (oracle && condition.contains(QStringLiteral("\" IS NOT NULL")))
                continue;
            condition = sortedInListCondition(condition);
            appendRow(checks, {nameValue(*t, row, QStringLiteral("Nome")), nameValue(*t, row, QStringLiteral("Tabela")),
                               upperOutsideLiterals(condition)});
        }
    }
    // Foreign keys.
    if (const ResultTable *t = raw.foreignKeys) {
        for (int row = 0; row < t->count(); ++row) {
            QVariant rule;
            const QString read = t->text(row, QStringLiteral("RegraDelete"));
            if (oracle) {
                if (read == QStringLiteral("CASCADE"))
                    rule = QStringLiteral("C");
            } else if (!t->isNull(row, QStringLiteral("RegraDelete"))) {
                rule = read.left(1);
            }
            appendRow(references, {nameValue(*t, row, QStringLiteral("Nome")), nameValue(*t, row, QStringLiteral("Tabela")),
                                   nameValue(*t, row, QStringLiteral("Coluna")),
                                   nameValue(*t, row, QStringLiteral("TabelaRef")),
                                   nameValue(*t, row, QStringLiteral("ColunaRef")),
                                   integerOrNull(*t, row, QStringLiteral("Posicao")), rule});
        }
    }
    // Primary keys (Tabela first) and unique keys (Nome first).
    if (const ResultTable *t = raw.primaryKeys) {
        for (int row = 0; row < t->count(); ++row)
            appendRow(primaryKey, {nameValue(*t, row, QStringLiteral("Tabela")), nameValue(*t, row, QStringLiteral("Nome")),
                                   nameValue(*t, row, QStringLiteral("Coluna")),
                                   integerOrNull(*t, row, QStringLiteral("Posicao"))});
    }
    if (const ResultTable *t = raw.uniqueKeys) {
        for (int row = 0; row < t->count(); ++row)
            appendRow(uniqueKey, {nameValue(*t, row, QStringLiteral("Nome")), nameValue(*t, row, QStringLiteral("Tabela")),
                                  nameValue(*t, row, QStringLiteral("Coluna")),
                                  integerOrNull(*t, row, QStringLiteral("Posicao"))});
    }
    // Indexes.
    if (const ResultTable *t = raw.indexes) {
        for (int row = 0; row < t->count(); ++row) {
            const QString unique = t->text(row, QStringLiteral("Unico"));
            appendRow(index, {nameValue(*t, row, QStringLiteral("Nome")), nameValue(*t, row, QStringLiteral("Tabela")),
                              nameValue(*t, row, QStringLiteral("Coluna")),
                              oracle ? unique == QStringLiteral("UNIQUE") : unique == QStringLiteral("U"),
                              integerOrNull(*t, row, QStringLiteral("Posicao"))});
        }
    }
    return model;
}

QString structureArchiveName(const QString &customerCode, const QString &alias, const QString &vendor)
{
    return safeFileNamePart(customerCode) + QLatin1Char('-') + safeFileNamePart(alias) + QLatin1Char('-')
           + safeFileNamePart(vendor) + QStringLiteral(".md");
}

HttpResult AnalisaEstruturaBanco(InstallerSession &session, DbConnection &connection, int entry, const HttpOptions &options)
{
    const MemTable &dbs = session.cdsDbs;
    const QString alias = dbs.text(entry, QStringLiteral("ALIAS"));
    session.UpdateStatus(QStringLiteral("Analisando estrutura do banco \"") + alias + QStringLiteral("\"..."), true, kStage,
                         ImageSuccess, true);
    const auto statements = structureStatements(connection.driverName());
    if (!statements)
        throw std::runtime_error("o modelo de estrutura só é capturado em bancos DB2 e Oracle");
    std::array<std::optional<ResultTable>, 6> sets;
    for (size_t i = 0; i < statements->size(); ++i) {
        sets[i] = GetOleData(connection, (*statements)[i]);
        if (!sets[i])
            throw std::runtime_error("falha na leitura do catálogo do banco");
    }
    RawStructure raw;
    raw.columns = &*sets[0];
    raw.primaryKeys = &*sets[1];
    raw.uniqueKeys = &*sets[2];
    raw.foreignKeys = &*sets[3];
    raw.indexes = &*sets[4];
    raw.checks = &*sets[5];
    const std::array<DataPacket, 6> model = buildStructureModel(connection.driverName(), raw);

    const QString archive = joinPath(session.workingFolder,
                                     structureArchiveName(session.customerCode, alias, dbs.text(entry, QStringLiteral("VENDOR"))));
    QFile::remove(archive);
    // The archive lives only until it was sent, whatever happens meanwhile.
    struct Removal {
        QString path;
        ~Removal() { QFile::remove(path); }
    } removal{archive};
    {
        PackageWriter writer(archive, QString(), PackageEncryption::None);
        for (size_t i = 0; i < model.size(); ++i)
            writer.addBytes(QString::fromLatin1(kStructureFiles[i]), writeBinaryPacket(model[i]));
        writer.commit();
    }
    session.UpdateStatus(QStringLiteral("Transmitindo dados ao servidor da Korlen!"), true, kStage, ImageSuccess, false);
    return PostFileMultipart(joinUrl(session.build.makerSite, kModelsPath), kModelsField, archive,
                             uploadOptions(options, QFileInfo(archive).size()));
}

}  // namespace tivra::remote
