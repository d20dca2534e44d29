// COM+ application control: stopping, creating and re-registering the application's COM+
// applications (stages "03. Desligando Pacotes COM" and "12. Inicializando Pacotes COM"), and
// stopping the owner of one library before the folder copy replaces it.
#pragma once

#include "deploy/comcatalog.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tivra {

struct InstallerSession;

inline const QString kStageDesligandoPacotes = QStringLiteral("03. Desligando Pacotes COM");
inline const QString kStageInicializandoPacotes = QStringLiteral("12. Inicializando Pacotes COM");

// Splits text at each occurrence of the separator, left to right. With a limit above 0 the last
// piece holds the rest once that many pieces exist. An empty text gives an empty list.
QStringList Explode(const QString &separator, const QString &text, int limit);

// Stops one COM+ application (exact name). Stopping "pkStenovaAtiv" first deletes the application
// "pkStenovaAtividades" from the catalog. Errors are logged, never returned.
void ShutPacoteMTS(InstallerSession &session, const QString &name);

// Creates the COM+ application when the catalog has none of that name: access checks off, run
// forever where the system supports it, 20 concurrent processes for "pkBrelum". Errors are logged.
void RegistraPacoteMTS(InstallerSession &session, const QString &name);

// Re-registers the libraries of one components line ("application=lib;lib") found in
// Producao/Bin of the application directory, then stops the application; adds the stage-12 row
// "   -> " + application. False when the catalog reported an error (logged as ignored).
bool InstalaPacoteMTS(InstallerSession &session, const QString &componentsLine);

// Stage 03 (start false): stops every application of the components list, one row each.
// Stage 12 (start true): stops, creates when missing and re-registers each of them.
// Never fails the run: returns true. Does not start the next stage.
bool ControlPacks(InstallerSession &session, bool start);

// What the checks page does before its file checks: stops every application of the components
// list as stage 03 does, without status rows.
void DesligaPacotesComponentes(InstallerSession &session);

// Stops the COM+ application that hosts the library (found in the built-in library table by the
// first library name contained in the path), then pumps the window messages. Errors are ignored.
void DesligaPacoteDaBiblioteca(InstallerSession &session, const QString &libraryPath);

// The built-in library table: which COM+ application hosts each of the product's server
// libraries. Compiled into the program from a resource (format: docs/complus-libraries.md).
struct LibraryOwner {
    QString application;
    QString library;
};
const std::vector<LibraryOwner> &builtInLibraryTable();
// Reads a table text: one "application=library" line each; blank lines and lines starting with
// ";" or "#" are comments; lines without "=" or with an empty side are passed over.
std::vector<LibraryOwner> parseLibraryTable(const QString &text);

// Tests may pretend to run on another Windows version (nothing restores the real one).
void setWindowsVersionClassForTesting(std::optional<WindowsVersionClass> versionClass);

}  // namespace tivra
