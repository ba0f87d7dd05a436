// The server records: their text fields, how twins are told, and their dumps.
#include "discovery/ServerRecord.h"

COracleServer::COracleServer(const char* sid)
    : CDbServer(Family::Oracle), oracle_sid(sid ? sid : "") {}

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
