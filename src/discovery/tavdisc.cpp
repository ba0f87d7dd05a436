// Database server records, the server list and the choice of a family's discovery.
#include "discovery/tavdisc.h"

#include <cstring>
#include <memory>
#include <string>

#include "text/Text.h"

namespace {

bool IsFamilySlot(int family) {
    return family >= 0 && family < FAMILY_SLOTS;
}

struct Product {
    const char* keyword;
    int family;
};

// The installer names the family by one of these keywords.
const Product PRODUCTS[] = {
    {"ora", FAMILY_ORACLE},        {"oracle", FAMILY_ORACLE}, {"tuo", FAMILY_ORACLE},
    {"syb", FAMILY_SYBASE},        {"sybase", FAMILY_SYBASE}, {"tus", FAMILY_SYBASE},
    {"sql", FAMILY_MSSQL},         {"tum", FAMILY_MSSQL},     {"mssql", FAMILY_MSSQL},
    {"informix", FAMILY_INFORMIX}, {"tui", FAMILY_INFORMIX},  {"ifx", FAMILY_INFORMIX},
};

}  // namespace

int FamilyOfProduct(const char* keyword) {
    if (keyword == nullptr)
        return 0;
    for (const Product& product : PRODUCTS)
        if (std::strcmp(product.keyword, keyword) == 0)
            return product.family;
    return 0;
}

// ---- records -----------------------------------------------------------------------

void COracleServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_oracle : %s\n", dollar_server.c_str());
    fprintf(stream, "ORA_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "RDBMS Server");
    fprintf(stream, "initora_filename : %s\n", initora_filename.c_str());
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CSybaseServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_sybase : %s\n", dollar_server.c_str());
    fprintf(stream, "syb_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "SQL Server");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CMsSqlServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_mssqlserver : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "SQL Server");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CInformixServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_server : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "Online");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "config_file : %s\n", config_file.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

// ---- the server list -------------------------------------------------------------

CDbServerList::CDbServerList(tavplat::RegistryReader& registry, const char* name)
    : registry_(registry), name_(name ? name : "") {}

CDbServerList::~CDbServerList() {
    // The records of a family go in the reverse order of their filing.
    for (auto& sequence : servers_)
        while (!sequence.empty())
            sequence.pop_back();
}

CDbServer* CDbServerList::Add(std::unique_ptr<CDbServer> server, int family) {
    if (server == nullptr || !IsFamilySlot(family))
        return nullptr;
    servers_[family].push_back(std::move(server));
    return servers_[family].back().get();
}

int CDbServerList::GetCount(int family) const {
    return IsFamilySlot(family) ? static_cast<int>(servers_[family].size()) : 0;
}

CDbServer* CDbServerList::GetAt(int index, int family) const {
    if (index < 0 || index >= GetCount(family))
        return nullptr;
    return servers_[family][static_cast<size_t>(index)].get();
}

CDbServer* CDbServerList::FindByName(int family, const char* name) const {
    if (!IsFamilySlot(family) || name == nullptr)
        return nullptr;
    for (const auto& server : servers_[family]) {
        if (tavtext::EqualsIgnoringCase(server->GetServerName(), name))
            return server.get();
    }
    return nullptr;
}

void CDbServerList::ReadInitFiles(int family) {
    // The count is read afresh each time round.
    for (int i = 0; i < GetCount(family); ++i)
        GetAt(i, family)->ReadInitFile();
}

bool CDbServerList::DiscoverFamily(int family) {
    switch (family) {
    case FAMILY_ORACLE:
        DiscoverOracle();
        ReadInitFiles(FAMILY_ORACLE);
        return true;
    case FAMILY_SYBASE:
        DiscoverSybase();
        return true;
    case FAMILY_MSSQL:
        DiscoverMsSql();
        return true;
    case FAMILY_INFORMIX:
        DiscoverInformix();
        return true;
    default:
        return false;
    }
}
