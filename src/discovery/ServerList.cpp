// Database server records, the server list and the choice of a family's discovery.
#include "discovery/ServerList.h"

#include <cstring>
#include <memory>
#include <string>

#include "machine/RegistryValues.h"
#include "platform/RegistryReader.h"
#include "text/Text.h"

namespace {

struct Product {
    const char* keyword;
    Family family;
};

// The installer names the family by one of these keywords.
const Product PRODUCTS[] = {
    {"ora", Family::Oracle},        {"oracle", Family::Oracle}, {"tuo", Family::Oracle},
    {"syb", Family::Sybase},        {"sybase", Family::Sybase}, {"tus", Family::Sybase},
    {"sql", Family::MsSql},         {"tum", Family::MsSql},     {"mssql", Family::MsSql},
    {"informix", Family::Informix}, {"tui", Family::Informix},  {"ifx", Family::Informix},
};

struct FamilyNames {
    Family family;
    const char* keyword;
    const char* title;
};

const FamilyNames FAMILY_NAMES[] = {
    {Family::Oracle, "oracle", "Oracle"},
    {Family::Sybase, "sybase", "Sybase"},
    {Family::MsSql, "mssql", "Microsoft SQL Server"},
    {Family::Informix, "informix", "Informix"},
};

const FamilyNames* NamesOf(Family family) {
    for (const FamilyNames& names : FAMILY_NAMES)
        if (names.family == family)
            return &names;
    return nullptr;
}

}  // namespace

const char* FamilyKeyword(Family family) {
    const FamilyNames* names = NamesOf(family);
    return names ? names->keyword : nullptr;
}

const char* FamilyTitle(Family family) {
    const FamilyNames* names = NamesOf(family);
    return names ? names->title : nullptr;
}

Family FamilyOfProduct(const char* keyword) {
    if (keyword == nullptr)
        return Family::None;
    for (const Product& product : PRODUCTS)
        if (std::strcmp(product.keyword, keyword) == 0)
            return product.family;
    return Family::None;
}

// ---- records -----------------------------------------------------------------------

std::vector<RecordField> CDbServer::GetTextFields() const {
    return {{"server_name", server_name},       {"service_name", service_name},
            {"errorlog_name", errorlog_name},   {"dollar_server", dollar_server},
            {"server_version", server_version}, {"server_type", GetServerType()},
            {"cluster_server", cluster_server}};
}

std::vector<RecordField> COracleServer::GetTextFields() const {
    std::vector<RecordField> fields = CDbServer::GetTextFields();
    fields.push_back({"oracle_sid", oracle_sid});
    fields.push_back({"initora_filename", initora_filename});
    return fields;
}

std::vector<RecordField> CInformixServer::GetTextFields() const {
    std::vector<RecordField> fields = CDbServer::GetTextFields();
    fields.push_back({"config_file", config_file});
    return fields;
}

bool CDbServer::HasSameTexts(const CDbServer& other) const {
    if (server_family != other.server_family)
        return false;
    const std::vector<RecordField> mine = GetTextFields();
    const std::vector<RecordField> theirs = other.GetTextFields();
    for (size_t i = 0; i < mine.size(); ++i)
        if (mine[i].text != theirs[i].text)
            return false;
    return true;
}

void COracleServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_oracle : %s\n", dollar_server.c_str());
    fprintf(stream, "ORA_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", GetServerType());
    fprintf(stream, "initora_filename : %s\n", initora_filename.c_str());
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CSybaseServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_sybase : %s\n", dollar_server.c_str());
    fprintf(stream, "syb_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", GetServerType());
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CMsSqlServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_mssqlserver : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", GetServerType());
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CInformixServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_server : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", GetServerType());
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

CDbServer* CDbServerList::Add(std::unique_ptr<CDbServer> server, Family family) {
    if (server == nullptr || !IsFamilySlot(family))
        return nullptr;
    servers_[SlotOf(family)].push_back(std::move(server));
    return servers_[SlotOf(family)].back().get();
}

int CDbServerList::GetCount(Family family) const {
    return IsFamilySlot(family) ? static_cast<int>(servers_[SlotOf(family)].size()) : 0;
}

CDbServer* CDbServerList::GetAt(int index, Family family) const {
    if (index < 0 || index >= GetCount(family))
        return nullptr;
    return servers_[SlotOf(family)][static_cast<size_t>(index)].get();
}

CDbServer* CDbServerList::FindByName(Family family, const char* name) const {
    if (!IsFamilySlot(family) || name == nullptr)
        return nullptr;
    for (const auto& server : servers_[SlotOf(family)]) {
        if (tavtext::EqualsIgnoringCase(server->GetServerName(), name))
            return server.get();
    }
    return nullptr;
}

void CDbServerList::ReadInitFiles(Family family) {
    // The count is read afresh each time round.
    for (int i = 0; i < GetCount(family); ++i)
        GetAt(i, family)->ReadInitFile();
}

// ---- discovery in every view ---------------------------------------------------------

void CDbServerList::ForEachView(Family family, void (CDbServerList::*pass)()) {
    run_start_ = GetCount(family);
    for (const tavdisc::RegistryView& view : tavdisc::ViewsOf(registry_)) {
        view_access_ = view.access;
        view_name_ = view.name;
        pass_start_ = GetCount(family);
        (this->*pass)();
    }
    view_access_ = 0;
    view_name_ = "64";
    run_start_ = pass_start_ = 0;
}

std::unique_ptr<tavplat::RegistryKey> CDbServerList::Open(const char* path, unsigned access) {
    return registry_.OpenKey(path, access | view_access_);
}

void CDbServerList::AddFound(std::unique_ptr<CDbServer> server, Family family) {
    // Within one view records are filed as found, twins included.
    for (int i = run_start_; i < pass_start_; ++i)
        if (GetAt(i, family)->HasSameTexts(*server))
            return;
    server->SetRegistryView(view_name_);
    Add(std::move(server), family);
}

void CDbServerList::DiscoverOracle() {
    ForEachView(Family::Oracle, &CDbServerList::OracleViewPass);
}

void CDbServerList::DiscoverMsSql() {
    ForEachView(Family::MsSql, &CDbServerList::MsSqlViewPass);
}

void CDbServerList::DiscoverSybase() {
    ForEachView(Family::Sybase, &CDbServerList::SybaseViewPass);
}

void CDbServerList::DiscoverInformix() {
    ForEachView(Family::Informix, &CDbServerList::InformixViewPass);
}

bool CDbServerList::DiscoverFamily(Family family) {
    switch (family) {
    case Family::Oracle:
        DiscoverOracle();
        ReadInitFiles(Family::Oracle);
        return true;
    case Family::Sybase:
        DiscoverSybase();
        return true;
    case Family::MsSql:
        DiscoverMsSql();
        return true;
    case Family::Informix:
        DiscoverInformix();
        return true;
    default:
        return false;
    }
}
