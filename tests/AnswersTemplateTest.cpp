// The answers template's comments on what discovery learnt beyond the
// registry: how a server was found, its service and SQL Server's TCP port.
#include "views/AnswersTemplate.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "discovery/ServerList.h"
#include "discovery/ServerRecord.h"

namespace {

using tavplat::ServiceStart;
using tavplat::ServiceState;

// The comment lines of the template's only section that follow registry_view.
std::string LinesAfterRegistryView(const std::string& text) {
    const size_t view = text.find("#   registry_view : ");
    if (view == std::string::npos) return "(no section)";
    const size_t from = text.find('\n', view) + 1;
    return text.substr(from, text.find("# version  =", from) - from);
}

}  // namespace

TEST(AnswersTemplate, CommentsAServiceOnlyWhereDiscoveryKnowsOne) {
    struct Case {
        const char* what;
        Family family;
        std::function<void(CDbServer&)> describe;
        const char* lines;
    };
    const Case CASES[] = {
        {"from the registry, no service", Family::Oracle, [](CDbServer&) {}, ""},
        {"from the registry, with its service", Family::Oracle,
         [](CDbServer& server) {
             server.SetService(ServerService{"OracleServicePROD", {ServiceStart::Automatic, ServiceState::Running}});
         },
         "#   service : OracleServicePROD (automatic, running)\n"},
        {"found by its service", Family::Oracle,
         [](CDbServer& server) {
             server.SetFoundBy(FoundBy::Service);
             server.SetService(ServerService{"OracleServicePROD", {ServiceStart::Manual, ServiceState::Stopped}});
         },
         "#   found_by : service\n#   service : OracleServicePROD (manual, stopped)\n"},
        {"SQL Server with its port", Family::MsSql,
         [](CDbServer& server) {
             server.SetService(ServerService{"MSSQL$PROD", {ServiceStart::Disabled, ServiceState::Unknown}});
             static_cast<CMsSqlServer&>(server).SetTcpPort(1433);
         },
         "#   service : MSSQL$PROD (disabled, unknown)\n#   tcp_port : 1433\n"},
        {"SQL Server, port and service unknown", Family::MsSql, [](CDbServer&) {}, ""},
    };
    for (const Case& c : CASES) {
        std::unique_ptr<CDbServer> server;
        if (c.family == Family::Oracle)
            server = std::make_unique<COracleServer>("PROD");
        else
            server = std::make_unique<CMsSqlServer>();
        server->SetServerName("PROD");
        c.describe(*server);
        CDbServerList servers;
        servers.Add(std::move(server), c.family);
        EXPECT_EQ(LinesAfterRegistryView(tavview::AnswersTemplate(servers, c.family, "HOST")), c.lines) << c.what;
    }
}
