// Test doubles for the dialog tests: discovered Oracle servers filed by hand,
// and a selection view that plays a scripted person in the properties dialog.
#ifndef TAV_TESTS_DIALOG_FAKES_H
#define TAV_TESTS_DIALOG_FAKES_H

#include "dialogs/tavixpro.h"
#include "discovery/tavdisc.h"
#include "generate/tavixdcl.h"
#include "password/tavencry.h"
#include "registry/MemoryRegistry.h"
#include "views/MemoryView.h"

namespace tavtest {

struct ServerFields {
    const char *name, *errorlog, *home, *version;
};
using Found = std::vector<ServerFields>;

const ServerFields ORCL = {"ORCL", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log", "C:\\oracle\\ora92", "9.2.0.1.0"};
const ServerFields SALES = {"SALES", "", "C:\\oracle\\product\\10.1.0\\db_1", "10.1.0.2.0"};

// A server list holding discovered Oracle records, in discovery order.
struct OracleMachine {
    tavreg::MemoryRegistry registry;
    CDbServerList servers{registry};

    explicit OracleMachine(const Found& found) {
        for (const ServerFields& fields : found) {
            auto server = std::make_unique<COracleServer>(fields.name);
            server->SetServerName(fields.name);
            server->SetServiceName((std::string("OracleService") + fields.name).c_str());
            server->SetErrorlogName(fields.errorlog);
            server->SetDollarServer(fields.home);
            server->SetServerVersion(fields.version);
            servers.Add(std::move(server), FAMILY_ORACLE);
        }
    }
};

// The entry's password decoded with its own login and server name; one not in
// the encoded form (88 upper-case hexadecimal digits) shows as stored.
inline std::string Decode(const CMonitoredServer& entry) {
    const std::string& stored = entry.GetPassword();
    if (stored.size() != 88 || stored.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return "(stored as \"" + stored + "\")";
    const char* clear =
        decode_password(stored.c_str(), entry.GetLogin().c_str(), entry.GetServerName().c_str(), nullptr);
    return clear ? clear : "(null)";
}

// The monitored set, a line an entry, each password decoded.
inline std::string MonitoredSet(const CInstallParams& params) {
    std::string lines;
    for (int i = 0; i < params.GetMonitoredCount(FAMILY_ORACLE); ++i) {
        const CMonitoredServer& entry = *params.GetMonitoredAt(i, FAMILY_ORACLE);
        lines += entry.GetServerName() + " (" + std::to_string(entry.GetServerFamily()) + ") login=" +
                 entry.GetLogin() + " password=" + Decode(entry) + " version=" + entry.GetServerVersion() +
                 " home=" + entry.GetDollarServer() + " errorlog=" + entry.GetErrorlogName() + "\n";
    }
    return lines;
}

// Plays the person in the properties dialog: types, then presses OK or Cancel.
class FakeSelectView : public tavview::MemorySelectView {
public:
    std::map<int, std::string> typed;
    bool cancel = false;
    int forced_result = 0;  // non-zero: the properties dialog fails to run, with this result
    int runs = 0, focus = 0;
    std::vector<std::map<int, std::string>> shown;  // the fields as each run opened

    int RunProperties(CServerPropertiesDlg& dialog) override {
        ++runs;
        if (forced_result)
            return forced_result;
        tavview::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        auto& fields = shown.emplace_back();
        for (int id : {IDC_SERVER_NAME, IDC_LOGIN, IDC_PASSWORD, IDC_VERSION, IDC_HOME_DIRECTORY, IDC_ERROR_LOG})
            fields[id] = view.GetControlText(id);
        for (const auto& [control, text] : typed)
            view.SetControlText(control, text);
        cancel ? dialog.OnCancel(view) : dialog.OnOK(view);
        return view.Ended() ? view.Result() : 0;
    }
    void SetFocusToDialog() override { ++focus; }
};

}  // namespace tavtest

#endif
