#include "core/tables.h"

namespace tivra {

namespace {
using F = MemTable::Field;
using T = MemTable::Type;
}  // namespace

std::vector<MemTable::Field> catalogoFields()
{
    return {{"ID", T::AutoInc, 0}, {"NOME_TABELA", T::Text, 50}, {"DESCR_TAB_ESTRUTURADA", T::Text, 200},
            {"COD_TAB_EST", T::Integer, 0}, {"ID_TABELA", T::Integer, 0}};
}

std::vector<MemTable::Field> dbsFields()
{
    return {{"ALIAS", T::Text, 100},  {"DESCRICAO", T::Text, 100}, {"LOGIN", T::Text, 30},
            {"PASSWORD", T::Text, 50}, {"IMAGE", T::Integer, 0},    {"VENDOR", T::Text, 10},
            {"DBHOST", T::Text, 20},   {"PORTA", T::Integer, 0},    {"ID", T::AutoInc, 0},
            {"MAX_PACK_COMPLETE", T::Integer, 0}};
}

std::vector<MemTable::Field> checksFields()
{
    return {{"ID", T::AutoInc, 0}, {"ETAPA", T::Text, 100}, {"DETALHES", T::Text, 200}, {"APROVADO", T::Text, 1},
            {"STATUS", T::Text, 100}};
}

std::vector<MemTable::Field> lookupFields()
{
    return {{"ID", T::AutoInc, 0}, {"KEYFIELD", T::Integer, 0}, {"TABLESPACE_NAME", T::Text, 50}, {"ALIAS", T::Text, 50}};
}

std::vector<MemTable::Field> tsFields()
{
    // TS_NEW is derived from KEY_LOOKUP by whoever sets the choice (the tablespace window).
    return {{"ID", T::AutoInc, 0}, {"ALIAS", T::Text, 50}, {"TS_DEFAULT", T::Text, 100}, {"KEY_LOOKUP", T::Integer, 0},
            {"TS_NEW", T::Text, 50}};
}

}  // namespace tivra
