// The family table: one row per database family.
#include "generate/FamilyTable.h"

#include <cstring>

#include "generate/FamilyLayouts.h"

using namespace tavgen;

namespace {

// In code order: generation writes the families out in this order.
const FamilyRow FAMILY_ROWS[] = {
    {Family::Oracle, "oracle", "Oracle", {"ora", "oracle", "tuo"}, DiscoverOracle, {"OracleService", nullptr}, DiscoverOracleServiceInstances,
     "tuoinc.ini", 100,
     "Oracle_", "TUOVMA_", "TUO", ";Quorvane SXA for Oracle  Product Initialization File", "Oracle", "Oracle",
     WriteOracleBatchLines, OracleAgentLines, false},
    {Family::Sybase, "sybase", "Sybase", {"syb", "sybase", "tus"}, DiscoverSybase, {"SYBSQL_", nullptr}, nullptr, "tusinc.ini", 110,
     "Sybase_", "TUSVMA_", "TUS", ";Quorvane SXA for Sybase Product Initialization File", "Sybase", "Sybase",
     WriteSybaseBatchLines, SybaseAgentLines, false},
    {Family::MsSql, "mssql", "Microsoft SQL Server", {"sql", "tum", "mssql"}, DiscoverMsSql, {"MSSQL$", "MSSQLSERVER"}, nullptr,
     "tuminc.ini", 110,
     "MSMSQL_", "TUMVMA_", "TUM", ";Quorvane SXA for Microsoft SQL Server Product Initialization File",
     "MSSQL Server", "MSSQL", WriteMsSqlBatchLines, MsSqlAgentLines, false},
    {Family::Informix, "informix", "Informix", {"informix", "tui", "ifx"}, DiscoverInformix, {"", nullptr}, nullptr,
     "tuiinc.ini", 110,
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

void DiscoverFamily(const FamilyRow& row, CDbServerList& list, tavplat::RegistryReader& registry,
                    tavplat::ServiceManager& services, CReport& report) {
    row.discover(list, registry, report);
    if (row.service_instances) row.service_instances(list, registry, row.service.prefix, report);
    AttachServices(list, row.family, row.service, services);
}

const char* FamilyTitle(Family family) {
    const FamilyRow* row = FamilyRowOf(family);
    return row ? row->title : nullptr;
}
