// Microsoft SQL Server discovery: the default and named instances, their
// cluster names, versions, homes and error logs.
#include "discovery/Discovery.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

#include "discovery/RegistryViewPass.h"
#include "machine/RegistryValues.h"
#include "platform/RegistryReader.h"
#include "text/Text.h"
#include "machine/ComputerName.h"

using namespace tavmachine;
using tavplat::KEY_QUERY;
using tavtext::EqualsIgnoringCase;
using tavtext::Trim;
using tavtext::WHITE_SPACE;

namespace {

constexpr uint32_t MSSQL_CAPACITY = 256;
constexpr size_t MSSQL_MAX_INSTANCES = 16;
const char* const MSSQL_INSTANCES_KEY = "Software\\Microsoft\\Microsoft SQL Server";
const char* const MSSQL_DEFAULT_INSTANCE = "MSSQLSERVER";

// The names of a REG_MULTI_SZ-like run of NUL-terminated names; an
// unterminated last name is dropped.
std::vector<std::string> SplitInstanceNames(const unsigned char* data, uint32_t length) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < length) {
        const void* found = std::memchr(data + start, '\0', length - start);
        if (found == nullptr)
            break;
        const size_t end = static_cast<size_t>(static_cast<const unsigned char*>(found) - data);
        if (names.size() < MSSQL_MAX_INSTANCES)
            names.emplace_back(reinterpret_cast<const char*>(data + start), end - start);
        // A second NUL ends the list; so does the end of the data.
        if (end + 1 >= length || data[end + 1] == '\0')
            break;
        start = end + 1;
    }
    return names;
}

struct MsSqlKeys {
    std::string cluster;
    std::string setup;
    std::string version;
    std::string parameters;
    std::string network;  // holds the protocols' keys
};

MsSqlKeys MsSqlKeyPaths(const std::string& instance) {
    if (instance == MSSQL_DEFAULT_INSTANCE) {
        return {"", "Software\\Microsoft\\MSSQLServer\\Setup",
                "Software\\Microsoft\\MSSQLServer\\MSSQLServer\\CurrentVersion",
                "Software\\Microsoft\\MSSQLServer\\MSSQLServer\\Parameters",
                "Software\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib"};
    }
    const std::string base = std::string(MSSQL_INSTANCES_KEY) + "\\" + instance;
    return {base + "\\Cluster", base + "\\Setup", base + "\\MSSQLServer\\CurrentVersion",
            base + "\\MSSQLServer\\Parameters", base + "\\MSSQLServer\\SuperSocketNetLib"};
}

// A port as the registry writes one: a decimal number from 1 to 65535,
// blanks around it allowed; 0 and anything else is none.
std::optional<int> PortNumber(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const std::string_view digits = Trim(*text, WHITE_SPACE);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int port = std::stoi(std::string(digits));
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

// The instance's TCP port: from Tcp\IPAll, the dynamic port when one is
// set, else the static one; on versions without IPAll, Tcp's own TcpPort.
std::optional<int> TcpPort(RegistryViewPass& view, const std::string& networkKey) {
    if (auto all = view.Open((networkKey + "\\Tcp\\IPAll").c_str(), KEY_QUERY)) {
        if (auto dynamic = PortNumber(QueryText(*all, "TcpDynamicPorts", MSSQL_CAPACITY))) return dynamic;
        return PortNumber(QueryText(*all, "TcpPort", MSSQL_CAPACITY));
    }
    if (auto tcp = view.Open((networkKey + "\\Tcp").c_str(), KEY_QUERY))
        return PortNumber(QueryText(*tcp, "TcpPort", MSSQL_CAPACITY));
    return std::nullopt;
}

void MsSqlViewPass(RegistryViewPass& view) {
    std::vector<std::string> instances;
    if (auto key = view.Open(MSSQL_INSTANCES_KEY, KEY_QUERY)) {
        ForEachValue(*key, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoringCase(value.name, "InstalledInstances") && value.length > 0)
                instances = SplitInstanceNames(value.data, value.length);
            return true;
        });
    } else {
        instances.push_back(MSSQL_DEFAULT_INSTANCE);
    }

    const std::string computerName = tavmachine::ComputerName().value_or("");
    bool success = true;
    std::string homeDirectory;
    std::string version;
    std::string clusterName;
    for (const std::string& instance : instances) {
        const bool isDefault = instance == MSSQL_DEFAULT_INSTANCE;
        const MsSqlKeys paths = MsSqlKeyPaths(instance);
        if (!isDefault) {
            if (auto cluster = view.Open(paths.cluster.c_str(), KEY_QUERY)) {
                if (auto value = NamedValue(*cluster, MSSQL_CAPACITY, "ClusterName")) clusterName = std::move(*value);
            } else {
                clusterName = computerName;
            }
        }

        auto setup = view.Open(paths.setup.c_str(), KEY_QUERY);
        if (!setup) {
            success = false;
            continue;
        }
        if (!success)
            continue;
        if (auto value = NamedValue(*setup, MSSQL_CAPACITY, "SQLPath")) homeDirectory = std::move(*value);
        setup.reset();

        auto current = view.Open(paths.version.c_str(), KEY_QUERY);
        if (!current) {
            success = false;
            continue;
        }
        if (auto value = NamedValue(*current, MSSQL_CAPACITY, "CurrentVersion")) version = std::move(*value);
        current.reset();

        auto parameters = view.Open(paths.parameters.c_str(), KEY_QUERY);
        if (!parameters) {
            success = false;
            continue;
        }
        std::string errorLog;
        ForEachValue(*parameters, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
            const std::string parameter = std::string(Trim(value.text, WHITE_SPACE));
            if (parameter.compare(0, 2, "-e") == 0)
                errorLog = parameter.substr(2);
            return true;
        });
        parameters.reset();

        auto server = std::make_unique<CMsSqlServer>();
        server->SetServerName(isDefault ? computerName.c_str() : instance.c_str());
        server->SetServiceName("MSSQLServer");
        server->SetDollarServer(homeDirectory.c_str());
        server->SetServerVersion(version.c_str());
        server->SetErrorlogName(errorLog.c_str());
        server->SetClusterServer(isDefault ? computerName.c_str() : clusterName.c_str());
        server->SetInstanceName(instance.c_str());
        server->SetTcpPort(TcpPort(view, paths.network));
        view.AddFound(std::move(server));
    }
}

}  // namespace

void DiscoverMsSql(CDbServerList& list, tavplat::RegistryReader& registry, CReport&) {
    RegistryViewPass pass(list, registry, Family::MsSql);
    pass.ForEachView([&] { MsSqlViewPass(pass); });
}
