// Field lists of the session's in-memory tables.
#pragma once

#include "core/memtable.h"

#include <vector>

namespace tivra {

// cdsCatalogo: the catalog tables list of the package.
std::vector<MemTable::Field> catalogoFields();
// cdsDbs: the databases list (one database entry per alias).
std::vector<MemTable::Field> dbsFields();
// cdsChecks: the rows of the checks page.
std::vector<MemTable::Field> checksFields();
// cdsLookup: the tablespaces found in the databases.
std::vector<MemTable::Field> lookupFields();
// cdsTS: the tablespace mapping, one row per database and package tablespace name.
std::vector<MemTable::Field> tsFields();

}  // namespace tivra
