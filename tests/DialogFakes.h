// Shared by the dialog tests: discovered Oracle servers filed by hand, and the
// monitored set as text with each password decoded.
#ifndef TAV_TESTS_DIALOGFAKES_H
#define TAV_TESTS_DIALOGFAKES_H

#include <map>
#include <optional>

#include "dialogs/PropertiesDialog.h"
#include "discovery/ServerList.h"
#include "monitor/MonitoredSet.h"
#include "password/PasswordEncoding.h"
#include "views/MemoryView.h"

namespace tavtest {

struct ServerFields {
    const char *name, *errorlog, *home, *version;
    std::optional<ServerService> service = std::nullopt;
};
using Found = std::vector<ServerFields>;

const ServerFields ORCL = {"ORCL", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log", "C:\\oracle\\ora92", "9.2.0.1.0"};
const ServerFields SALES = {"SALES", "", "C:\\oracle\\product\\10.1.0\\db_1", "10.1.0.2.0"};

// A service as the service manager would describe it.
inline ServerService Service(const char* name, tavplat::ServiceStart start, tavplat::ServiceState state) {
    return ServerService{name, {start, state}};
}

// A server list holding discovered Oracle records, in discovery order.
struct OracleMachine {
    CDbServerList servers;

    explicit OracleMachine(const Found& found) {
        for (const ServerFields& fields : found) {
            auto server = std::make_unique<COracleServer>(fields.name);
            server->SetServerName(fields.name);
            server->SetErrorlogName(fields.errorlog);
            server->SetDollarServer(fields.home);
            server->SetServerVersion(fields.version);
            server->SetService(fields.service);
            servers.Add(std::move(server), Family::Oracle);
        }
    }
};

// The entry's password decoded with its own login and server name; an empty one as stored.
inline std::string Decode(const CMonitoredServer& entry) {
    if (entry.GetPassword().empty()) return "(stored as \"\")";
    const DecodedPassword decoded = DecodePassword(entry.GetPassword(), {entry.GetLogin(), entry.GetServerName()});
    if (!decoded.status.Ok()) return decoded.status.text;
    return decoded.password.empty() ? "(null)" : decoded.password;
}

// The monitored set, a line an entry, each password decoded.
inline std::string MonitoredSet(const CMonitoredSet& monitored) {
    std::string lines;
    for (int i = 0; i < monitored.Count(Family::Oracle); ++i) {
        const CMonitoredServer& entry = *monitored.At(i, Family::Oracle);
        lines += entry.GetServerName() + " (" + std::to_string(SlotOf(entry.GetServerFamily())) + ") login=" +
                 entry.GetLogin() + " password=" + Decode(entry) + " version=" + entry.GetServerVersion() +
                 " home=" + entry.GetDollarServer() + " errorlog=" + entry.GetErrorlogName() + "\n";
    }
    return lines;
}

// A selection view whose person types the fields given into each properties
// dialog and presses OK; a dialog that stays open counts as neither OK nor Cancel.
struct TypingView : tavview::MemorySelectView {
    std::map<int, std::string> typed;
    std::vector<std::string> refusals;  // what each properties dialog said when it stayed open

    int RunProperties(CServerPropertiesDlg& dialog) override {
        tavview::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        for (const auto& [control, text] : typed) view.SetControlText(control, text);
        dialog.OnOK(view);
        if (view.Ended()) return view.Result();
        refusals.push_back(view.Messages().empty() ? "" : view.Messages().back());
        return 0;
    }
};

}  // namespace tavtest

#endif
