#include "db/embedded/catalogviews.h"

#include "db/embedded/sqltokens.h"

namespace tivra::embedded {

QStringList emulationTableStatements()
{
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS main.TIVRA_EMU_TABLESPACES (NAME TEXT NOT NULL PRIMARY KEY)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS main.TIVRA_EMU_SEQUENCES (NAME TEXT NOT NULL PRIMARY KEY, "
                       "START_VALUE INTEGER NOT NULL, INCREMENT INTEGER NOT NULL, LAST_VALUE INTEGER)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS main.TIVRA_EMU_CONSTRAINTS (NAME TEXT NOT NULL PRIMARY KEY, "
                       "TABLE_NAME TEXT NOT NULL, TYPE TEXT NOT NULL, REF_TABLE TEXT, REF_NAME TEXT, DELETE_RULE TEXT, "
                       "CHECK_TEXT TEXT, INDEX_NAME TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS main.TIVRA_EMU_CONSTRAINT_COLUMNS (CONSTRAINT_NAME TEXT NOT NULL, "
                       "POSITION INTEGER NOT NULL, COLUMN_NAME TEXT NOT NULL, PRIMARY KEY (CONSTRAINT_NAME, POSITION))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS main.TIVRA_EMU_COLUMNS (TABLE_NAME TEXT NOT NULL, COLUMN_NAME TEXT NOT NULL, "
                       "DATA_TYPE TEXT, NULLABLE TEXT, PRIMARY KEY (TABLE_NAME, COLUMN_NAME))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS main.TIVRA_EMU_USERS (LOGIN TEXT NOT NULL PRIMARY KEY, "
                       "PASSWORD_SHA256 TEXT NOT NULL)"),
    };
}

QStringList catalogRefreshStatements()
{
    return {QStringLiteral("DELETE FROM temp.TIVRA_EMU_C"), QStringLiteral("INSERT INTO temp.TIVRA_EMU_C SELECT * FROM TIVRA_EMU_C_SRC"),
            QStringLiteral("DELETE FROM temp.TIVRA_EMU_I"), QStringLiteral("INSERT INTO temp.TIVRA_EMU_I SELECT * FROM TIVRA_EMU_I_SRC"),
            QStringLiteral("DELETE FROM temp.TIVRA_EMU_IC"), QStringLiteral("INSERT INTO temp.TIVRA_EMU_IC SELECT * FROM TIVRA_EMU_IC_SRC")};
}

namespace {
const char *const kCatalogPrefixes[] = {"USER_", "ALL_", "SYSCAT_", "SYSIBM_", "INFORMATION_SCHEMA_", "SYS_", "TIVRA_EMU_"};
}

bool mayMentionCatalog(const QString &text)
{
    static const char *const names[] = {"SYSOBJECTS", "SYSFILES", "USER_", "ALL_", "SYSCAT_", "SYSIBM_", "INFORMATION_SCHEMA_", "SYS_",
                                        "TIVRA_EMU_"};
    const auto upperAscii = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    // A letter or a word sign: a position after one is inside a word. After a digit it is not:
    // "1USER_X" reads as a number and a word.
    const auto inWord = [](char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u'$' || c == u'#' || c == u'@';
    };
    const QChar *data = text.constData();
    const qsizetype size = text.size();
    // The common case, ASCII text, in one pass and without a copy: each position where a word
    // may start against each name, ignoring case. A name is only ever found as the start of a
    // word or of a quoted name, so positions inside a word ("ID_CATALOGO", "DT_ALTERACAO") are
    // passed over.
    bool ascii = true;
    char16_t previous = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x80) {
            ascii = false;
            break;
        }
        const bool start = !inWord(previous);
        previous = c;
        if (!start)
            continue;
        const char16_t first = upperAscii(c);
        if (first != u'S' && first != u'U' && first != u'A' && first != u'I' && first != u'T')
            continue;
        for (const char *name : names) {
            qsizetype k = 0;
            while (name[k] && i + k < size && upperAscii(data[i + k].unicode()) == char16_t(name[k]))
                ++k;
            if (!name[k])
                return true;
        }
    }
    if (ascii)
        return false;
    const QString upper = text.toUpper();
    if (upper.contains(QLatin1String("SYSOBJECTS")) || upper.contains(QLatin1String("SYSFILES")))
        return true;
    for (const char *prefix : kCatalogPrefixes) {
        if (upper.contains(QLatin1String(prefix)))
            return true;
    }
    return false;
}

bool mentionsCatalog(const Tokens &tokens)
{
    const auto &prefixes = kCatalogPrefixes;
    for (const Token &t : tokens) {
        if (t.kind != Token::Word && t.kind != Token::QuotedName)
            continue;
        const QString name = t.kind == Token::Word ? t.upper : t.upper.toUpper();
        if (name == QLatin1String("SYSOBJECTS") || name == QLatin1String("SYSFILES"))
            return true;
        for (const char *prefix : prefixes) {
            if (name.startsWith(QLatin1String(prefix)))
                return true;
        }
    }
    return false;
}

QStringList defaultTablespaces(Vendor vendor, const QString &alias)
{
    switch (vendor) {
    case Vendor::Oracle:
        return {QStringLiteral("SYSAUX"), QStringLiteral("SYSTEM"), QStringLiteral("TEMP"), QStringLiteral("UNDOTBS1"),
                QStringLiteral("USERS")};
    case Vendor::DB2:
        return {QStringLiteral("SYSCATSPACE"), QStringLiteral("SYSTOOLSPACE"), QStringLiteral("TEMPSPACE1"),
                QStringLiteral("USERSPACE1")};
    case Vendor::MSSQL: return {alias, alias + QStringLiteral("_log")};
    case Vendor::None: break;
    }
    return {};
}

QStringList catalogViewStatements(Vendor vendor, const QString &schema, const QString &alias)
{
    const QString owner = quoteText(schema);
    QString defaults;
    for (const QString &name : defaultTablespaces(vendor, alias)) {
        if (!defaults.isEmpty())
            defaults += QStringLiteral(" UNION ALL ");
        defaults += QStringLiteral("SELECT ") + quoteText(name);
    }

    // The common base: tables and views of the database (without SQLite's and the emulation's
    // own), their columns, indexes and the recorded constraints, names in upper case.
    QStringList v = {
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_TS (NAME, ID) AS SELECT NAME, ROW_NUMBER() OVER (ORDER BY NAME) - 1 FROM ("
                       "SELECT UPPER(NAME) AS NAME FROM main.TIVRA_EMU_TABLESPACES UNION ALL SELECT * FROM (") +
            defaults + QStringLiteral(") WHERE NOT EXISTS (SELECT 1 FROM main.TIVRA_EMU_TABLESPACES))"),
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_T AS SELECT name AS NAME, UPPER(name) AS TABLE_NAME, "
                       "CASE type WHEN 'view' THEN 'V' ELSE 'T' END AS KIND, sql AS SQL, rootpage AS ID "
                       "FROM main.sqlite_schema WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite!_%' ESCAPE '!' "
                       "AND UPPER(name) NOT LIKE 'TIVRA!_EMU!_%' ESCAPE '!'"),
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_C_SRC AS SELECT t.NAME AS ORIGINAL_TABLE, t.TABLE_NAME, c.name AS ORIGINAL_COLUMN, "
                       "UPPER(c.name) AS COLUMN_NAME, COALESCE(o.DATA_TYPE, c.type) AS DECL, "
                       "CASE WHEN o.NULLABLE IS NOT NULL THEN o.NULLABLE WHEN c.\"notnull\" OR c.pk > 0 THEN 'N' ELSE 'Y' END AS NULLABLE, "
                       "c.dflt_value AS DEFAULT_VALUE, c.cid AS CID, c.pk AS PK "
                       "FROM TIVRA_EMU_T t JOIN pragma_table_info(t.NAME, 'main') c "
                       "LEFT JOIN main.TIVRA_EMU_COLUMNS o ON o.TABLE_NAME = t.TABLE_NAME AND o.COLUMN_NAME = UPPER(c.name) "
                       "WHERE t.KIND = 'T'"),
        // NULLIF keeps SQLite 3.40 from treating these NOT NULL columns as never NULL below a
        // LEFT JOIN (it then drops rows of "... IS NULL" filters on the outer side).
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_K AS SELECT NULLIF(k.NAME, '') AS NAME, NULLIF(k.TABLE_NAME, '') AS TABLE_NAME, "
                       "NULLIF(k.TYPE, '') AS TYPE, k.REF_TABLE, k.REF_NAME, k.DELETE_RULE, "
                       "k.CHECK_TEXT, k.INDEX_NAME FROM main.TIVRA_EMU_CONSTRAINTS k "
                       "WHERE EXISTS (SELECT 1 FROM TIVRA_EMU_T t WHERE t.TABLE_NAME = k.TABLE_NAME)"),
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_KC AS SELECT kc.CONSTRAINT_NAME, k.TABLE_NAME, kc.COLUMN_NAME, kc.POSITION "
                       "FROM main.TIVRA_EMU_CONSTRAINT_COLUMNS kc JOIN TIVRA_EMU_K k ON k.NAME = kc.CONSTRAINT_NAME"),
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_I_SRC AS SELECT t.TABLE_NAME, il.name AS SQLITE_NAME, "
                       "UPPER(COALESCE(k.NAME, il.name)) AS INDEX_NAME, il.\"unique\" AS IS_UNIQUE, NULLIF(k.TYPE, '') AS CONSTRAINT_TYPE "
                       "FROM TIVRA_EMU_T t JOIN pragma_index_list(t.NAME, 'main') il "
                       "LEFT JOIN main.TIVRA_EMU_CONSTRAINTS k ON UPPER(k.INDEX_NAME) = UPPER(il.name) AND k.TYPE IN ('P', 'U') "
                       "WHERE t.KIND = 'T'"),
        QStringLiteral("CREATE TEMP VIEW TIVRA_EMU_IC_SRC AS SELECT i.TABLE_NAME, i.INDEX_NAME, UPPER(ii.name) AS COLUMN_NAME, "
                       "ii.seqno + 1 AS POSITION FROM TIVRA_EMU_I_SRC i JOIN pragma_index_info(i.SQLITE_NAME, 'main') ii"),
        // SQLite 3.40 loses rows when views over its pragma functions are joined and sorted, so
        // the catalog's columns and indexes are copied into temporary tables before a statement
        // reads them (catalogRefreshStatements).
        QStringLiteral("CREATE TEMP TABLE TIVRA_EMU_C AS SELECT * FROM TIVRA_EMU_C_SRC WHERE 0"),
        QStringLiteral("CREATE TEMP TABLE TIVRA_EMU_I AS SELECT * FROM TIVRA_EMU_I_SRC WHERE 0"),
        QStringLiteral("CREATE TEMP TABLE TIVRA_EMU_IC AS SELECT * FROM TIVRA_EMU_IC_SRC WHERE 0"),
    };

    switch (vendor) {
    case Vendor::Oracle:
        v += {
            QStringLiteral("CREATE TEMP VIEW DUAL AS SELECT 'X' AS DUMMY"),
            QStringLiteral("CREATE TEMP VIEW USER_TABLESPACES AS SELECT NAME AS TABLESPACE_NAME, 8192 AS BLOCK_SIZE, "
                           "'ONLINE' AS STATUS, CASE WHEN NAME LIKE 'TEMP%' THEN 'TEMPORARY' WHEN NAME LIKE 'UNDO%' THEN 'UNDO' "
                           "ELSE 'PERMANENT' END AS CONTENTS FROM TIVRA_EMU_TS"),
            QStringLiteral("CREATE TEMP VIEW USER_TABLES AS SELECT TABLE_NAME, 'USERS' AS TABLESPACE_NAME, 'VALID' AS STATUS "
                           "FROM TIVRA_EMU_T WHERE KIND = 'T'"),
            QStringLiteral("CREATE TEMP VIEW USER_VIEWS AS SELECT TABLE_NAME AS VIEW_NAME, SQL AS TEXT FROM TIVRA_EMU_T WHERE KIND = 'V'"),
            QStringLiteral("CREATE TEMP VIEW USER_SEQUENCES AS SELECT NAME AS SEQUENCE_NAME, 1 AS MIN_VALUE, "
                           "9999999999999999999999999999 AS MAX_VALUE, INCREMENT AS INCREMENT_BY, 'N' AS CYCLE_FLAG, "
                           "COALESCE(LAST_VALUE + INCREMENT, START_VALUE) AS LAST_NUMBER FROM main.TIVRA_EMU_SEQUENCES"),
            QStringLiteral("CREATE TEMP VIEW USER_OBJECTS AS SELECT TABLE_NAME AS OBJECT_NAME, "
                           "CASE KIND WHEN 'V' THEN 'VIEW' ELSE 'TABLE' END AS OBJECT_TYPE, 'VALID' AS STATUS FROM TIVRA_EMU_T "
                           "UNION ALL SELECT INDEX_NAME, 'INDEX', 'VALID' FROM TIVRA_EMU_I "
                           "UNION ALL SELECT SEQUENCE_NAME, 'SEQUENCE', 'VALID' FROM USER_SEQUENCES"),
            QStringLiteral("CREATE TEMP VIEW USER_TAB_COLUMNS AS SELECT TABLE_NAME, COLUMN_NAME, tivra_coltype(DECL, 'T') AS DATA_TYPE, "
                           "tivra_coltype(DECL, 'L') AS DATA_LENGTH, tivra_coltype(DECL, 'P') AS DATA_PRECISION, "
                           "tivra_coltype(DECL, 'S') AS DATA_SCALE, NULLABLE, CID + 1 AS COLUMN_ID, DEFAULT_VALUE AS DATA_DEFAULT "
                           "FROM TIVRA_EMU_C"),
            QStringLiteral("CREATE TEMP VIEW USER_CONSTRAINTS AS SELECT ") + owner +
                QStringLiteral(" AS OWNER, NAME AS CONSTRAINT_NAME, TYPE AS CONSTRAINT_TYPE, TABLE_NAME, "
                               "CHECK_TEXT AS SEARCH_CONDITION, CASE WHEN TYPE = 'R' THEN ") +
                owner +
                QStringLiteral(" END AS R_OWNER, REF_NAME AS R_CONSTRAINT_NAME, CASE WHEN TYPE = 'R' THEN "
                               "COALESCE(DELETE_RULE, 'NO ACTION') END AS DELETE_RULE, 'ENABLED' AS STATUS, "
                               "CASE WHEN TYPE IN ('P', 'U') AND INDEX_NAME IS NOT NULL THEN NAME END AS INDEX_NAME FROM TIVRA_EMU_K"),
            QStringLiteral("CREATE TEMP VIEW USER_CONS_COLUMNS AS SELECT ") + owner +
                QStringLiteral(" AS OWNER, CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, POSITION FROM TIVRA_EMU_KC"),
            QStringLiteral("CREATE TEMP VIEW USER_INDEXES AS SELECT INDEX_NAME, 'NORMAL' AS INDEX_TYPE, TABLE_NAME, "
                           "CASE WHEN IS_UNIQUE THEN 'UNIQUE' ELSE 'NONUNIQUE' END AS UNIQUENESS, 'USERS' AS TABLESPACE_NAME "
                           "FROM TIVRA_EMU_I"),
            QStringLiteral("CREATE TEMP VIEW USER_IND_COLUMNS AS SELECT INDEX_NAME, TABLE_NAME, COLUMN_NAME, "
                           "POSITION AS COLUMN_POSITION, 'ASC' AS DESCEND FROM TIVRA_EMU_IC"),
        };
        for (const char *name : {"TABLES", "VIEWS", "SEQUENCES", "OBJECTS", "TAB_COLUMNS", "INDEXES", "IND_COLUMNS"}) {
            const QString n = QLatin1String(name);
            v += QStringLiteral("CREATE TEMP VIEW ALL_") + n + QStringLiteral(" AS SELECT ") + owner +
                 QStringLiteral(" AS OWNER, * FROM USER_") + n;
        }
        v += QStringLiteral("CREATE TEMP VIEW ALL_CONSTRAINTS AS SELECT * FROM USER_CONSTRAINTS");
        v += QStringLiteral("CREATE TEMP VIEW ALL_CONS_COLUMNS AS SELECT * FROM USER_CONS_COLUMNS");
        break;

    case Vendor::DB2:
        v += {
            QStringLiteral("CREATE TEMP VIEW SYSIBM_SYSDUMMY1 AS SELECT 'Y' AS IBMREQD"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_TABLESPACES AS SELECT NAME AS TBSPACE, ID AS TBSPACEID, ") + owner +
                QStringLiteral(" AS OWNER, 'D' AS TBSPACETYPE, CASE WHEN NAME LIKE 'TEMP%' THEN 'T' ELSE 'A' END AS DATATYPE "
                               "FROM TIVRA_EMU_TS"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_TABLES AS SELECT ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, ") + owner +
                QStringLiteral(" AS OWNER, KIND AS TYPE, 'USERSPACE1' AS TBSPACE, ID AS TABLEID FROM TIVRA_EMU_T"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_COLUMNS AS SELECT ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, COLUMN_NAME AS COLNAME, CID AS COLNO, "
                               "tivra_coltype(DECL, 'T') AS TYPENAME, tivra_coltype(DECL, 'L') AS LENGTH, "
                               "tivra_coltype(DECL, 'S') AS SCALE, DEFAULT_VALUE AS \"DEFAULT\", NULLABLE AS NULLS FROM TIVRA_EMU_C"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_TABCONST AS SELECT NAME AS CONSTNAME, ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, CASE TYPE WHEN 'R' THEN 'F' WHEN 'C' THEN 'K' ELSE TYPE END "
                               "AS TYPE, 'Y' AS ENFORCED FROM TIVRA_EMU_K"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_KEYCOLUSE AS SELECT CONSTRAINT_NAME AS CONSTNAME, ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, COLUMN_NAME AS COLNAME, POSITION AS COLSEQ "
                               "FROM TIVRA_EMU_KC kc WHERE EXISTS (SELECT 1 FROM TIVRA_EMU_K k WHERE k.NAME = kc.CONSTRAINT_NAME "
                               "AND k.TYPE IN ('P', 'U', 'R'))"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_REFERENCES AS SELECT NAME AS CONSTNAME, ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, REF_NAME AS REFKEYNAME, ") + owner +
                QStringLiteral(" AS REFTABSCHEMA, REF_TABLE AS REFTABNAME, CASE DELETE_RULE WHEN 'CASCADE' THEN 'C' "
                               "WHEN 'SET NULL' THEN 'N' WHEN 'RESTRICT' THEN 'R' ELSE 'A' END AS DELETERULE, 'A' AS UPDATERULE, "
                               "(SELECT COUNT(*) FROM TIVRA_EMU_KC kc WHERE kc.CONSTRAINT_NAME = k.NAME) AS COLCOUNT "
                               "FROM TIVRA_EMU_K k WHERE TYPE = 'R'"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_INDEXES AS SELECT ") + owner +
                QStringLiteral(" AS INDSCHEMA, INDEX_NAME AS INDNAME, ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, CASE WHEN CONSTRAINT_TYPE = 'P' THEN 'P' WHEN IS_UNIQUE THEN 'U' "
                               "ELSE 'D' END AS UNIQUERULE, (SELECT GROUP_CONCAT('+' || ic.COLUMN_NAME, '') FROM TIVRA_EMU_IC ic "
                               "WHERE ic.INDEX_NAME = i.INDEX_NAME) AS COLNAMES FROM TIVRA_EMU_I i"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_INDEXCOLUSE AS SELECT ") + owner +
                QStringLiteral(" AS INDSCHEMA, INDEX_NAME AS INDNAME, COLUMN_NAME AS COLNAME, POSITION AS COLSEQ, 'A' AS COLORDER "
                               "FROM TIVRA_EMU_IC"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_CHECKS AS SELECT NAME AS CONSTNAME, ") + owner +
                QStringLiteral(" AS TABSCHEMA, TABLE_NAME AS TABNAME, CHECK_TEXT AS TEXT, 'C' AS TYPE FROM TIVRA_EMU_K "
                               "WHERE TYPE = 'C'"),
            QStringLiteral("CREATE TEMP VIEW SYSCAT_SEQUENCES AS SELECT ") + owner +
                QStringLiteral(" AS SEQSCHEMA, NAME AS SEQNAME, START_VALUE AS START, INCREMENT, "
                               "COALESCE(LAST_VALUE + INCREMENT, START_VALUE) AS NEXTCACHEFIRSTVALUE FROM main.TIVRA_EMU_SEQUENCES"),
            QStringLiteral("CREATE TEMP VIEW SYSIBM_SYSTABLES AS SELECT TABNAME AS NAME, TABSCHEMA AS CREATOR, TYPE FROM SYSCAT_TABLES"),
        };
        break;

    case Vendor::MSSQL:
        v += {
            QStringLiteral("CREATE TEMP VIEW SYSFILES AS SELECT ID + 1 AS fileid, CASE WHEN NAME LIKE '%!_LOG' ESCAPE '!' THEN 0 ELSE 1 END "
                           "AS groupid, 1024 AS size, -1 AS maxsize, 10 AS growth, 2 AS status, 0 AS perf, NAME AS name, "
                           "NAME || '.mdf' AS filename FROM TIVRA_EMU_TS"),
            QStringLiteral("CREATE TEMP VIEW SYSOBJECTS AS SELECT NAME AS name, ID AS id, CASE KIND WHEN 'V' THEN 'V' ELSE 'U' END "
                           "AS xtype, CASE KIND WHEN 'V' THEN 'V' ELSE 'U' END AS type FROM TIVRA_EMU_T "
                           "UNION ALL SELECT NAME, NULL, CASE TYPE WHEN 'P' THEN 'PK' WHEN 'U' THEN 'UQ' WHEN 'R' THEN 'F' ELSE 'C' END, "
                           "CASE TYPE WHEN 'P' THEN 'K' WHEN 'U' THEN 'K' WHEN 'R' THEN 'F' ELSE 'C' END FROM TIVRA_EMU_K"),
            QStringLiteral("CREATE TEMP VIEW SYS_TABLES AS SELECT NAME AS name, ID AS object_id FROM TIVRA_EMU_T WHERE KIND = 'T'"),
            QStringLiteral("CREATE TEMP VIEW SYS_OBJECTS AS SELECT name, id AS object_id, xtype AS type FROM SYSOBJECTS"),
            QStringLiteral("CREATE TEMP VIEW INFORMATION_SCHEMA_TABLES AS SELECT ") + quoteText(alias) +
                QStringLiteral(" AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, NAME AS TABLE_NAME, CASE KIND WHEN 'V' THEN 'VIEW' "
                               "ELSE 'BASE TABLE' END AS TABLE_TYPE FROM TIVRA_EMU_T"),
            QStringLiteral("CREATE TEMP VIEW INFORMATION_SCHEMA_COLUMNS AS SELECT ") + quoteText(alias) +
                QStringLiteral(" AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, ORIGINAL_TABLE AS TABLE_NAME, ORIGINAL_COLUMN AS COLUMN_NAME, "
                               "CID + 1 AS ORDINAL_POSITION, DEFAULT_VALUE AS COLUMN_DEFAULT, CASE NULLABLE WHEN 'N' THEN 'NO' "
                               "ELSE 'YES' END AS IS_NULLABLE, tivra_coltype(DECL, 'T') AS DATA_TYPE, "
                               "tivra_coltype(DECL, 'L') AS CHARACTER_MAXIMUM_LENGTH, tivra_coltype(DECL, 'P') AS NUMERIC_PRECISION, "
                               "tivra_coltype(DECL, 'S') AS NUMERIC_SCALE FROM TIVRA_EMU_C"),
        };
        break;
    case Vendor::None: break;
    }
    return v;
}

}  // namespace tivra::embedded
