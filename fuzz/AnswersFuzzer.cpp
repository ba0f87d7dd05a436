// Fuzz target: an answers file, played over a machine where discovery found
// four Oracle instances, their services in different states or none, and over
// one where it found none. A file that plays to OK must leave only passwords
// that decode with their own login and server name, and its generated files
// may hold no control character but their line ends. The password that
// password_env can take from the environment is never shown.
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/SelectionDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "discovery/ServerList.h"
#include "FuzzSupport.h"
#include "generate/ConfigurationWriter.h"
#include "generate/InstallParams.h"
#include "monitor/MonitoredSet.h"
#include "password/PasswordEncoding.h"
#include "platform/Process.h"
#include "views/AnswersView.h"
#include "views/MemoryView.h"

namespace {

constexpr const char* ANSWERS_NAME = "answers.txt";

// The text that stands for no password at all: a password typed as it
// decodes to none, so that counts as a fault only when the file holds no such text.
constexpr const char* NO_PASSWORD = "NONE";

// The variables a file can name in password_env, as the fleet cases of the
// tests (the seeds) name them: each set with a value no message may show
// (one fits the encoding, one is too long, one holds a tab), and one unset.
struct Variable { const char *name, *value; };
const Variable VARIABLES[] = {
    {"TAV_FLEET_PASSWORD", "Fz0#env secret"},
    {"TAV_FLEET_LONG", "Fz0LongSecretFz0LongSecretFz0LongSecretFz0LongSecr"},
    {"TAV_FLEET_TAB", "Fz0\tsecret"},
};
constexpr const char* UNSET_VARIABLE = "TAV_FLEET_UNSET";

struct Instance {
    const char *name, *home, *version, *errorlog;
    std::optional<tavplat::ServiceState> state;  // none: no service
};
const Instance INSTANCES[] = {
    {"ORCL", "C:\\oracle\\ora92", "9.2.0.1.0", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log",
     tavplat::ServiceState::Running},
    {"SALES", "C:\\oracle\\product\\10.1.0\\db_1", "10.1.0.2.0", "", tavplat::ServiceState::Stopped},
    {"ORA10", "C:\\oracle\\product\\10.2.0\\db_1", "10.2.0.1.0", "", std::nullopt},
    {"ORA11", "C:\\oracle\\product\\11.1.0\\db_1", "11.1.0.6.0", "", tavplat::ServiceState::Paused},
};

// What the report is told, kept to look for the secret in.
class RecordingReport : public CReport {
public:
    void Console(std::string_view text) override { lines += text; }
    void ConsoleAndLog(std::string_view text) override { lines += text; }
    void LogOnly(std::string_view text) override { lines += text; }
    void Error(std::string_view text) override { lines += text; }
    std::string lines;
};

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

DecodedPassword Decode(const CMonitoredServer& entry) {
    return DecodePassword(entry.GetPassword(), {entry.GetLogin(), entry.GetServerName()});
}

// As the selection dialog shows it: an error text in place of the password.
std::string Decoded(const CMonitoredServer& entry) {
    const DecodedPassword decoded = Decode(entry);
    return decoded.status.Ok() ? decoded.password : decoded.status.text;
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
    const DecodedPassword decoded = Decode(entry);
    FUZZ_CHECK(decoded.status.Ok(), "server \"%s\": password \"%s\" decodes with login \"%s\" to \"%s\"",
               entry.GetServerName().c_str(), stored.c_str(), entry.GetLogin().c_str(), decoded.status.text.c_str());
    FUZZ_CHECK(!decoded.password.empty() || text.find(NO_PASSWORD) != std::string::npos,
               "server \"%s\": password \"%s\" does not decode with login \"%s\"", entry.GetServerName().c_str(),
               stored.c_str(), entry.GetLogin().c_str());
}

// Whatever the values, every generated line is one line: CR LF ends it, and
// no other control character stands in it.
void CheckGeneratedLines(const CMonitoredSet& monitored) {
    const tavfuzz::fs::path etc = tavfuzz::Scratch() / "etc";
    std::error_code ignored;
    tavfuzz::fs::remove_all(etc, ignored);
    tavfuzz::fs::create_directories(etc);
    CInstallParams params;
    params.SetStored("ETCPATH", etc.c_str());
    QuietReport quiet;
    CConfigurationWriter writer(params, monitored, quiet);
    (void)writer.GenerateConfiguration();
    for (const auto& item : tavfuzz::fs::recursive_directory_iterator(etc)) {
        if (!item.is_regular_file()) continue;
        std::ifstream in(item.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (size_t i = 0; i < bytes.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            const bool lineEnd = (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ||
                                 (c == '\n' && i > 0 && bytes[i - 1] == '\r');
            FUZZ_CHECK(lineEnd || (c >= 0x20 && c != 0x7F), "%s holds the control character %d at %zu",
                       item.path().c_str(), c, i);
        }
    }
}

void PlayOver(const std::string& text, bool discovered) {
    RecordingReport report;
    CDbServerList servers;
    if (discovered) {
        for (const Instance& instance : INSTANCES) {
            auto server = std::make_unique<COracleServer>(instance.name);
            server->SetServerName(instance.name);
            server->SetServiceName((std::string("OracleService") + instance.name).c_str());
            server->SetDollarServer(instance.home);
            server->SetServerVersion(instance.version);
            server->SetErrorlogName(instance.errorlog);
            if (instance.state)
                server->SetService(ServerService{std::string("OracleService") + instance.name,
                                                 {tavplat::ServiceStart::Automatic, *instance.state}});
            servers.Add(std::move(server), Family::Oracle);
        }
    }
    CMonitoredSet monitored;
    CServerSelectDlg dialog(Family::Oracle, servers, monitored);

    const auto [result, failure] = tavview::RunAnswersSelectText(dialog, text, ANSWERS_NAME, report);
    // Unless the file itself holds it, a variable's password shows nowhere.
    for (const Variable& variable : VARIABLES)
        FUZZ_CHECK(text.find(variable.value) != std::string::npos ||
                       (report.lines.find(variable.value) == std::string::npos &&
                        failure.text.find(variable.value) == std::string::npos),
                   "the password from %s was shown: \"%s\" \"%s\"", variable.name, report.lines.c_str(),
                   failure.text.c_str());
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
    for (int i = 0; i < monitored.Count(Family::Oracle); ++i) {
        CheckPassword(*monitored.At(i, Family::Oracle), text);
        CheckEditKeepsPassword(dialog, *monitored.At(i, Family::Oracle));
    }
    // A discovered instance is moved at most once; its service name, which the
    // properties dialog does not show, tells the entries that came from it.
    for (int k = 0; k < servers.GetCount(Family::Oracle); ++k) {
        const std::string service = servers.GetAt(k, Family::Oracle)->GetServiceName();
        int entries = 0;
        for (int i = 0; i < monitored.Count(Family::Oracle); ++i)
            entries += monitored.At(i, Family::Oracle)->GetServiceName() == service;
        FUZZ_CHECK(entries <= 1, "%s is monitored %d times", service.c_str(), entries);
    }
    CheckGeneratedLines(monitored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool environment = [] {
        // The environment keeps the buffers: they live as long as the process.
        static std::string assignments[std::size(VARIABLES)];
        bool set = true;
        for (size_t i = 0; i < std::size(VARIABLES); ++i) {
            assignments[i] = std::string(VARIABLES[i].name) + "=" + VARIABLES[i].value;
            set = set && tavplat::PutEnvironment(assignments[i].data()) == 0;
        }
        return set && !tavplat::EnvironmentValue(UNSET_VARIABLE);
    }();
    FUZZ_CHECK(environment, "the variables cannot be set, or %s is set", UNSET_VARIABLE);
    const std::string text = tavfuzz::Text(data, size);
    PlayOver(text, true);
    PlayOver(text, false);
    return 0;
}
