// The family table: one row per database family.
#include "generate/FamilyTable.h"

#include <cstring>

#include "generate/FamilyLayouts.h"

using namespace tavgen;

namespace {

// In code order: generation writes the families out in this order.
const FamilyRow FAMILY_ROWS[] = {
    {Family::Oracle, "oracle", "Oracle", {"ora", "oracle", "tuo"}, DiscoverOracle, "tuoinc.ini", 100,
     "Oracle_", "TUOVMA_", "TUO", ";Quorvane SXA for Oracle  Product Initialization File", "Oracle", "Oracle",
     WriteOracleBatchLines, OracleAgentLines, false},
    {Family::Sybase, "sybase", "Sybase", {"syb", "sybase", "tus"}, DiscoverSybase, "tusinc.ini", 110,
     "Sybase_", "TUSVMA_", "TUS", ";Quorvane SXA for Sybase Product Initialization File", "Sybase", "Sybase",
     WriteSybaseBatchLines, SybaseAgentLines, false},
    {Family::MsSql, "mssql", "Microsoft SQL Server", {"sql", "tum", "mssql"}, DiscoverMsSql, "tuminc.ini", 110,
     "MSMSQL_", "TUMVMA_", "TUM", ";Quorvane SXA for Microsoft SQL Server Product Initialization File",
     "MSSQL Server", "MSSQL", WriteMsSqlBatchLines, MsSqlAgentLines, false},
    {Family::Informix, "informix", "Informix", {"informix", "tui", "ifx"}, DiscoverInformix, "tuiinc.ini", 110,
     "Informix_", "TUIVMA_", "TUI", ";Quorvane SXA for Informix  Product Initialization File", "Informix",
     "Informix", WriteInformixBatchLines, InformixAgentLines, true},
};

}  // namespace

std::span<const FamilyRow> FamilyRows() {
    return FAMILY_ROWS;
}

const FamilyRow* FamilyRowOf(Family family) {
    for (const FamilyRow& row : FAMILY_ROWS)
        if (row.family == family)
            return &row;
    return nullptr;
}

Family FamilyOfProduct(const char* keyword) {
    if (keyword == nullptr)
        return Family::None;
    for (const FamilyRow& row : FAMILY_ROWS)
        for (const char* product : row.products)
            if (std::strcmp(product, keyword) == 0)
                return row.family;
    return Family::None;
}

const char* FamilyTitle(Family family) {
    const FamilyRow* row = FamilyRowOf(family);
    return row ? row->title : nullptr;
}
