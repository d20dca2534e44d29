// The catalog archive of the package and the orchestration of the catalog stages.
//
// ExportCatalogo.zip (inside Update.pack, no password) holds index.xml and the data files
// Tab<Id>.cds, Col<Id>.cds, Com<Id>.cds, TCl<Id>.cds, TCp<Id>.cds and TE<Id>_<Codigo>.cds.
// ReadCatalogo reads the index into the catalog list cdsCatalogo when the person leaves the first
// page; at update time AtualizaCatalogo unpacks the archive, loads every data file the list names
// into memory and runs the stages 07 and 09 per validated database, then 10, 11 and 08.
#pragma once

#include "catalog/datapacket.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace tivra {

struct InstallerSession;

inline const QString kStageCatalogoTabelas = QStringLiteral("07. Catálogo de Tabelas");
inline const QString kStageRestrFunc = QStringLiteral("08. Restrições de Funcionalidade");
inline const QString kStageTabEstrut = QStringLiteral("09. Catálogo de Tabelas Estruturadas");
inline const QString kStageMensagens = QStringLiteral("10. Catálogo de Mensagens");
inline const QString kStageRotulos = QStringLiteral("11. Catálogo de Rótulos");

inline const QString kCatalogArchiveName = QStringLiteral("ExportCatalogo.zip");

// The five packets of one table; a file that could not be read leaves its slot empty.
struct TablePackets {
    qint64 idTabela = 0;
    QString nomeTabela;
    std::optional<DataPacket> tab, col, com, tcl, tcp;
};

// The data files loaded at update time.
struct LoadedCatalog {
    std::vector<TablePackets> tables;                    // one per distinct ID_TABELA, in first-row order
    std::vector<std::optional<DataPacket>> tabEstrut;    // one per catalog list row with COD_TAB_EST <> 0
    int tabEstrutCount = 0;
};

// <package working folder>/Catalogo
QString catalogFolder(const InstallerSession &session);

// Leaving the first page: reads index.xml of the package's catalog archive into cdsCatalogo.
void ReadCatalogo(InstallerSession &session);
// Parses index.xml of the package working folder into cdsCatalogo (emptied first).
void ReadIndexCatalogo(InstallerSession &session);

// Loads one file of the catalog folder; logs the error text (image 2) and gives no packet on
// failure.
std::optional<DataPacket> LoadCdsCatalogo(InstallerSession &session, const QString &fileName);
// Loads every data file that cdsCatalogo names.
bool ReadCdsCatalogo(InstallerSession &session, LoadedCatalog &catalog);

// The catalog stages of the update run; returns the result of the functional restrictions step.
bool AtualizaCatalogo(InstallerSession &session);

// The imports that AtualizaCatalogo calls for one database entry (the row of cdsDbs), and the
// functional restrictions step that ends the catalog stages and starts the COM+ applications.
// Tests may replace one of them to watch the order of the stages.
struct CatalogImporters {
    std::function<void(InstallerSession &, int entry, const std::vector<TablePackets> &)> tables;
    std::function<void(InstallerSession &, int entry, const LoadedCatalog &)> tabEstrut;
    std::function<void(InstallerSession &, int entry)> mensagens;
    std::function<void(InstallerSession &, int entry)> rotulos;
    std::function<bool(InstallerSession &)> restrFunc;
};
CatalogImporters &catalogImporters();

}  // namespace tivra
