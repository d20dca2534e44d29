// The catalog index index.xml of the catalog archive ExportCatalogo.zip:
//
//   <Vendrix><Catalogo>
//     <Tabela Id="3" Nome="CLIENTES"><TabEstrut Codigo="124" Descricao="Tipos de Dado"/></Tabela>
//   </Catalogo></Vendrix>
//
// Each Tabela gives one entry per TabEstrut (or one entry without structured table), in document
// order. Id and Codigo are decimal integers; a missing or non-numeric value ends the parse.
#pragma once

#include <QString>
#include <cstddef>
#include <vector>

namespace tivra {

struct CatalogIndexRow {
    QString nomeTabela;         // Nome of the Tabela
    qint64 idTabela = 0;        // Id of the Tabela
    bool hasTabEstrut = false;  // false: a Tabela without TabEstrut
    qint64 codTabEst = 0;       // Codigo of the TabEstrut
    QString descrTabEstrut;     // Descricao of the TabEstrut
};

// Parses an index held in memory. The rows read before an error are kept in `rows`; on error the
// result is false and `error` says what and where (line). Never throws. This is the entry point
// for fuzzing the index reader.
bool parseCatalogIndex(const char *data, std::size_t size, std::vector<CatalogIndexRow> &rows, QString *error);

}  // namespace tivra
