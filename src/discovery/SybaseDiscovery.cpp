// Sybase discovery: the SQL Servers under the Sybase keys, with their names
// and error logs from their start-up arguments.
#include "discovery/Discovery.h"

#include <memory>
#include <string>
#include <vector>

#include "discovery/RegistryViewPass.h"
#include "machine/RegistryValues.h"
#include "platform/RegistryReader.h"
#include "text/Text.h"

using namespace tavmachine;
using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavtext::EqualsIgnoringCase;

namespace {

const char* const SYBASE_PRODUCT_KEY = "Software\\Sybase\\SQLServer";
const char* const SYBASE_SERVERS_KEY = "Software\\Sybase\\Server";
constexpr uint32_t SYBASE_PRODUCT_CAPACITY = 500;
constexpr uint32_t SYBASE_SERVER_NAME_CAPACITY = 100;
constexpr uint32_t SYBASE_SERVER_TYPE_CAPACITY = 100;
constexpr uint32_t SYBASE_PARAMETER_CAPACITY = 80;

// A start-up argument without its two-character switch ("-s", "-e").
std::string ArgumentText(const RegValue& value) {
    if (value.length <= 2)
        return "";
    const std::string raw(reinterpret_cast<const char*>(value.data) + 2, value.length - 2);
    return raw.substr(0, raw.find('\0'));
}

void SybaseViewPass(RegistryViewPass& view) {
    std::string rootDirectory;
    std::string version;
    {
        auto product = view.Open(SYBASE_PRODUCT_KEY, KEY_QUERY);
        if (!product)
            return;
        ForEachValue(*product, SYBASE_PRODUCT_CAPACITY, SYBASE_PRODUCT_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoringCase(value.name, "RootDir"))
                rootDirectory = value.text;
            else if (EqualsIgnoringCase(value.name, "CurrentVersion"))
                version = value.text;
            return true;
        });
    }

    std::vector<std::string> servers;
    {
        auto serverKeys = view.Open(SYBASE_SERVERS_KEY, KEY_ENUM_SUB_KEYS);
        if (!serverKeys)
            return;
        ForEachSubKey(*serverKeys, SYBASE_SERVER_NAME_CAPACITY, [&](const std::string& name) {
            const std::string path = std::string(SYBASE_SERVERS_KEY) + "\\" + name;
            if (auto server = view.Open(path.c_str(), KEY_QUERY)) {
                if (QueryText(*server, "ServerType", SYBASE_SERVER_TYPE_CAPACITY) == "SQLServer")
                    servers.push_back(name);
            }
            return true;
        });
    }

    std::string serverArgument;
    std::string errorlogArgument;
    for (const std::string& name : servers) {
        const std::string path = std::string(SYBASE_SERVERS_KEY) + "\\" + name + "\\Parameters";
        auto parameters = view.Open(path.c_str(), KEY_QUERY);
        if (!parameters)
            continue;
        ForEachValue(*parameters, SYBASE_PARAMETER_CAPACITY, SYBASE_PARAMETER_CAPACITY,
                     [&](const RegValue& value) {
                         if (EqualsIgnoringCase(value.name, "Arg1"))
                             serverArgument = ArgumentText(value);
                         else if (EqualsIgnoringCase(value.name, "Arg2"))
                             errorlogArgument = ArgumentText(value);
                         return true;
                     });
        auto server = std::make_unique<CSybaseServer>();
        server->SetServerName(serverArgument.c_str());
        server->SetServiceName(("Sybase SQLServer_" + serverArgument).c_str());
        server->SetDollarServer(rootDirectory.c_str());
        server->SetServerVersion(version.c_str());
        server->SetErrorlogName(errorlogArgument.c_str());
        view.AddFound(std::move(server));
    }
}

}  // namespace

void DiscoverSybase(CDbServerList& list, tavplat::RegistryReader& registry, CReport&) {
    RegistryViewPass pass(list, registry, Family::Sybase);
    pass.ForEachView([&] { SybaseViewPass(pass); });
}
