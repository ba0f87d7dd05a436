// Informix discovery: the first server with an environment under the Online
// key, and the current version's server.
#include "discovery/Discovery.h"

#include <memory>
#include <string>
#include <utility>

#include "discovery/RegistryViewPass.h"
#include "machine/RegistryValues.h"
#include "platform/RegistryReader.h"
#include "text/Text.h"
#include "machine/ComputerName.h"

using namespace tavmachine;
using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavplat::RegistryKey;
using tavtext::EqualsIgnoringCase;

namespace {

const char* const INFORMIX_ONLINE_KEY = "Software\\Informix\\Online\\";
const char* const INFORMIX_SETUP_KEY = "Software\\Informix\\DBMS\\7.30\\Setup";
const char* const INFORMIX_CURRENT_ENVIRONMENT_KEY = "Software\\Informix\\Online\\CurrentVersion\\Environment";
const char* const INFORMIX_CURRENT_SETUP_KEY = "Software\\Informix\\Online\\CurrentVersion\\Setup";
constexpr uint32_t INFORMIX_SUB_KEY_CAPACITY = 100;
constexpr uint32_t INFORMIX_VALUE_CAPACITY = 80;

// The working texts of one Informix run; they carry over from the first
// record to the second.
struct InformixTexts {
    std::string installDirectory;
    std::string serverName;
    std::string configuration;
    std::string version;
};

void ReadInformixEnvironment(RegistryKey& key, InformixTexts* texts) {
    ForEachValue(key, INFORMIX_VALUE_CAPACITY, INFORMIX_VALUE_CAPACITY, [&](const RegValue& value) {
        if (EqualsIgnoringCase(value.name, "INFORMIXDIR"))
            texts->installDirectory = value.text;
        else if (EqualsIgnoringCase(value.name, "INFORMIXSERVER"))
            texts->serverName = value.text;
        else if (EqualsIgnoringCase(value.name, "ONCONFIG"))
            texts->configuration = value.text;
        return true;
    });
}

void ReadInformixVersion(RegistryKey& key, InformixTexts* texts) {
    if (auto value = NamedValue(key, INFORMIX_VALUE_CAPACITY, "Version")) texts->version = std::move(*value);
}

std::unique_ptr<CDbServer> MakeInformixServer(InformixTexts* texts, const std::string& serviceName) {
    texts->configuration = texts->installDirectory + "\\etc\\" + texts->configuration;
    auto server = std::make_unique<CInformixServer>();
    server->SetServerName(texts->serverName.c_str());
    server->SetServiceName(serviceName.c_str());
    server->SetDollarServer(texts->installDirectory.c_str());
    server->SetServerVersion(texts->version.c_str());
    server->SetErrorlogName((texts->installDirectory + "\\online.log").c_str());
    server->SetConfigFile(texts->configuration.c_str());
    return server;
}

void InformixViewPass(RegistryViewPass& view) {
    InformixTexts texts;
    texts.serverName = tavmachine::ComputerName().value_or("");

    if (auto online = view.Open(INFORMIX_ONLINE_KEY, KEY_ENUM_SUB_KEYS)) {
        // Only the first server key with an environment is used.
        ForEachSubKey(*online, INFORMIX_SUB_KEY_CAPACITY, [&](const std::string& name) {
            const std::string path = INFORMIX_ONLINE_KEY + name + "\\Environment";
            auto environment = view.Open(path.c_str(), KEY_QUERY);
            if (!environment)
                return true;
            ReadInformixEnvironment(*environment, &texts);
            return false;
        });
        online.reset();
        if (auto setup = view.Open(INFORMIX_SETUP_KEY, KEY_QUERY))
            ReadInformixVersion(*setup, &texts);
        view.AddFound(MakeInformixServer(&texts, "ol_" + texts.serverName));
    }

    {
        auto environment = view.Open(INFORMIX_CURRENT_ENVIRONMENT_KEY, KEY_QUERY);
        if (!environment)
            return;
        ReadInformixEnvironment(*environment, &texts);
    }
    auto setup = view.Open(INFORMIX_CURRENT_SETUP_KEY, KEY_QUERY);
    if (!setup)
        return;
    ReadInformixVersion(*setup, &texts);
    setup.reset();
    view.AddFound(MakeInformixServer(&texts, "OnLine"));
}

}  // namespace

void DiscoverInformix(CDbServerList& list, tavplat::RegistryReader& registry, CReport&) {
    RegistryViewPass pass(list, registry, Family::Informix);
    pass.ForEachView([&] { InformixViewPass(pass); });
}
