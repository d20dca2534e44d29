// The script runner: stage "06. Scripts de Banco". Executes the package's SQL script of each
// validated database's vendor, statement by statement, resuming what the database's statement log
// (INST_BANCO_PACK) lists as executed, skipping statements whose predecessor failed when the
// package's dependency list says so, exporting failed statements to the log folder, and writing
// the outcome to VS_PACK_BANCO (2 nothing failed, 1 otherwise).
//
// Statements: the script text (its lines, each followed by CR LF) split at every occurrence of the
// package's delimiter. Piece k is the text between the k-th and the (k+1)-th delimiter; the last
// piece (the text after the last delimiter) is never executed, so every statement ends with the
// delimiter. Statement positions count from 0; the statement log and the dependency lists refer
// to them.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tivra {

struct InstallerSession;

inline const QString kStageScripts = QStringLiteral("06. Scripts de Banco");
// A piece that the statement log lists as executed is replaced by this text and not run.
inline const QString kExecutedMarker = QStringLiteral("#@EXECUTADO@#");

// The script file of a VENDOR ("DB2", "ORACLE", "MSSQL", exact): "ScriptsDB2.sql",
// "ScriptsOracle.sql", "ScriptsMSSQL.sql"; empty for any other.
QString scriptFileName(const QString &vendor);

// Text of a script file as written by the package's author: UTF-8 or UTF-16 with a byte-order
// mark, UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString decodeScriptText(const QByteArray &bytes);

// The script text of a file: its lines joined, each followed by CR LF; empty when the file is
// missing or cannot be read.
QString readScriptText(const QString &path);

// The pieces of a script text split at an exact, case-sensitive delimiter (an empty delimiter
// counts as ";"). A text without any delimiter is one piece; an empty text gives none.
QStringList splitScript(const QString &text, const QString &delimiter);

// Text without the blanks and control characters at both ends (as the statement runner trims).
QString trimStatement(const QString &text);

// Whether a script text holds anything to execute besides blanks, "--" line comments and
// "/* */" block comments (quoted texts are content, whatever they hold).
bool hasExecutableContent(const QString &text);

// Whether the statement at `position` depends on its predecessor by the vendor's dependency list
// (the "key=value" lines of the package): the line at that position has "S" right after its
// first "=". Position 0, an empty list and positions past the end of the list do not depend.
bool dependsOnPredecessor(const QStringList &dependencies, int position);

// The resume marks: the pieces at the positions the statement log lists (positions outside the
// statements are ignored) become kExecutedMarker. When every non-blank statement is listed, true
// is returned and the pieces stay as they are: the database is complete for this version.
bool markExecutedStatements(QStringList &pieces, const QList<qint64> &executedPositions);

// The statements of a database's pieces (after the resume marks) that the stage would hand to
// the database: neither blank nor marked as executed. The last piece is never a statement.
int statementsToRun(const QStringList &pieces);
int statementsMarkedExecuted(const QStringList &pieces);

// Where the time of a run went; filled by AtualizaScripts when given (benchmarks and tests).
struct ScriptRunStats {
    qint64 splitNanos = 0;         // reading and splitting the three scripts
    qint64 statementLogNanos = 0;  // resume check: INST_BANCO_PACK probe, creation and read
    qint64 executionNanos = 0;     // the statement runner on the pieces
    qint64 statusNanos = 0;        // version checks, VS_PACK_BANCO writes, status rows, export
    qint64 totalNanos = 0;
    int statementConnections = 0;  // connections opened to execute statements
    int statementsRun = 0;         // pieces handed to the statement runner
};

// Runs stage 06 over every validated database (IMAGE 1) of session.cdsDbs, in list order, and
// returns true: failures are status rows (image 2) and VS_PACK_BANCO status 1, never a failed
// stage. It does not start the next stage.
bool AtualizaScripts(InstallerSession &session, ScriptRunStats *stats = nullptr);

}  // namespace tivra
