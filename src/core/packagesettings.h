// The package settings: what the package's Config.ini and its small members say.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra {

struct PackageSettings {
    QString sqlDelimiter = QStringLiteral(";");          // ConfigSQL/SQLDelimiter
    QString versaoPacote = QStringLiteral("0.0.001");    // Outros/VersaoPacote
    QString versaoRequerida = QStringLiteral("0.0.000"); // Outros/VersaoRequerida
    bool ignorarVersao = false;   // Outros/IgnorarVersao
    bool packCorrecao = false;    // Outros/PackCorrecao
    bool existBin = false;        // Outros/ExistBin
    bool existScript = false;     // Outros/ExistScript
    bool existCatalogo = false;   // Outros/ExistCatalogo
    bool existMsg = false;        // Outros/ExistMsg
    bool existRotulo = false;     // Outros/ExistRotulo
    bool existRestrFunc = false;  // Outros/ExistRestrFunc

    QStringList componentes;         // Componentes: "application=lib;lib" lines
    QStringList binaryToCopy;        // BinaryToCopy: keys only
    QStringList dependenciasDB2;     // DependenciasDB2: key=value lines
    QStringList dependenciasOracle;  // DependenciasOracle
    QStringList dependenciasMSSQL;   // DependenciasMSSQL
    QStringList tableSpaces;         // TableSpaces: keys only

    QStringList scriptOracle;  // ScriptsOracle.sql, as lines
    QStringList scriptDB2;     // ScriptsDB2.sql
    QStringList scriptMSSQL;   // ScriptsMSSQL.sql
};

}  // namespace tivra
