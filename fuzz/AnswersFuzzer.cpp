// Fuzz target: an answers file, played over a machine where discovery found
// two Oracle instances and over one where it found none. A file that plays to
// OK must leave only passwords that decode with their own login and server name.
#include <memory>
#include <string>

#include "dialogs/SelectionDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "discovery/ServerList.h"
#include "FuzzSupport.h"
#include "generate/InstallParams.h"
#include "password/PasswordEncoding.h"
#include "views/AnswersView.h"
#include "views/MemoryView.h"

namespace {

constexpr const char* ANSWERS_NAME = "answers.txt";

// The texts decode_password gives instead of a password, and the text it
// answers with no password at all: a password typed as one of them decodes
// to it, so they count as faults only when the file does not hold them.
const char* const DECODE_ERRORS[] = {"Error incorrect password length", "Error invalid password 2",
                                     "Error invalid password 3"};
constexpr const char* NO_PASSWORD = "NONE";

struct Instance {
    const char *name, *home, *version, *errorlog;
};
const Instance INSTANCES[] = {
    {"ORCL", "C:\\oracle\\ora92", "9.2.0.1.0", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log"},
    {"SALES", "C:\\oracle\\product\\10.1.0\\db_1", "10.1.0.2.0", ""},
};

// The answers view's interface, in one place.
int Play(CServerSelectDlg& dialog, const std::string& text, CReport& report, Status* failure) {
    return tavview::RunAnswersSelectText(dialog, text, ANSWERS_NAME, report, failure);
}

// The person opens a monitored server with "&Edit" and presses OK.
class ConfirmingView : public tavview::MemorySelectView {
public:
    int RunProperties(CServerPropertiesDlg& dialog) override {
        tavview::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        dialog.OnOK(view);
        return view.Ended() ? view.Result() : 0;
    }
};

std::string Decoded(const CMonitoredServer& entry) {
    const char* clear = decode_password(entry.GetPassword().c_str(), entry.GetLogin().c_str(),
                                        entry.GetServerName().c_str(), nullptr);
    return clear ? clear : "";
}

// Editing a server without typing keeps its password; an empty one (or
// "NONE") shows as the default password and so becomes it.
void CheckEditKeepsPassword(CServerSelectDlg& dialog, CMonitoredServer& entry) {
    const std::string before = Decoded(entry);
    if (before.empty()) return;
    ConfirmingView view;
    view.Monitor().SetItemData(view.Monitor().AddString(entry.GetServerName()), &entry);
    view.Monitor().SetCurSel(0);
    dialog.SetView(&view);
    dialog.OnEditServer();
    dialog.SetView(nullptr);
    FUZZ_CHECK(Decoded(entry) == before, "server \"%s\": an edit without typing turned password \"%s\" into \"%s\"",
               entry.GetServerName().c_str(), before.c_str(), Decoded(entry).c_str());
}

void CheckPassword(const CMonitoredServer& entry, const std::string& text) {
    const std::string stored = entry.GetPassword();
    if (stored.empty()) return;  // an emptied field stays empty
    const char* clear =
        decode_password(stored.c_str(), entry.GetLogin().c_str(), entry.GetServerName().c_str(), nullptr);
    if (!clear) {
        FUZZ_CHECK(text.find(NO_PASSWORD) != std::string::npos,
                   "server \"%s\": password \"%s\" does not decode with login \"%s\"", entry.GetServerName().c_str(),
                   stored.c_str(), entry.GetLogin().c_str());
        return;
    }
    for (const char* error : DECODE_ERRORS)
        FUZZ_CHECK(std::string(clear) != error || text.find(error) != std::string::npos,
                   "server \"%s\": password \"%s\" decodes with login \"%s\" to \"%s\"",
                   entry.GetServerName().c_str(), stored.c_str(), entry.GetLogin().c_str(), clear);
}

void PlayOver(const std::string& text, bool discovered) {
    tavfuzz::QuietReport quiet;
    CDbServerList servers;
    if (discovered) {
        for (const Instance& instance : INSTANCES) {
            auto server = std::make_unique<COracleServer>(instance.name);
            server->SetServerName(instance.name);
            server->SetServiceName((std::string("OracleService") + instance.name).c_str());
            server->SetDollarServer(instance.home);
            server->SetServerVersion(instance.version);
            server->SetErrorlogName(instance.errorlog);
            servers.Add(std::move(server), Family::Oracle);
        }
    }
    CInstallParams params;
    params.SetReport(quiet);
    CServerSelectDlg dialog(Family::Oracle, servers, params);

    Status failure;
    const int result = Play(dialog, text, quiet, &failure);
    if (result < 0) {
        const std::string where = std::string(ANSWERS_NAME) + ":";
        FUZZ_CHECK(result == -1 && failure.code != 0 && failure.text.rfind(where, 0) == 0 &&
                       failure.text.find('\n') == std::string::npos,
                   "a file that cannot be played gets a code and one line naming it: %d, %ld, \"%s\"", result,
                   failure.code, failure.text.c_str());
        return;
    }
    FUZZ_CHECK(result == DIALOG_OK || result == DIALOG_CANCEL, "the dialog ended with %d", result);
    if (result != DIALOG_OK) return;
    for (int i = 0; i < params.GetMonitoredCount(Family::Oracle); ++i) {
        CheckPassword(*params.GetMonitoredAt(i, Family::Oracle), text);
        CheckEditKeepsPassword(dialog, *params.GetMonitoredAt(i, Family::Oracle));
    }
    // A discovered instance is moved at most once; its service name, which the
    // properties dialog does not show, tells the entries that came from it.
    for (int k = 0; k < servers.GetCount(Family::Oracle); ++k) {
        const std::string service = servers.GetAt(k, Family::Oracle)->GetServiceName();
        int entries = 0;
        for (int i = 0; i < params.GetMonitoredCount(Family::Oracle); ++i)
            entries += params.GetMonitoredAt(i, Family::Oracle)->GetServiceName() == service;
        FUZZ_CHECK(entries <= 1, "%s is monitored %d times", service.c_str(), entries);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = tavfuzz::Text(data, size);
    PlayOver(text, true);
    PlayOver(text, false);
    return 0;
}
