// The answers-file view: reads a plain text file that says what the person
// installing would do in "Configure Database Agents" and plays it through the
// dialog handlers over in-memory lists, so that the dialogs' own rules
// (defaults, encoding, no duplicates) apply unchanged. The format is
// documented in the README ("Unattended installs").
#include "views/AnswersView.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/SelectionDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "discovery/ServerNameRules.h"
#include "machine/ValuePolicy.h"
#include "monitor/MonitoredSet.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "text/Text.h"
#include "views/AnswersPattern.h"
#include "views/MemoryView.h"

namespace tavview {

namespace {

using tavtext::EqualsIgnoringCase;
using tavtext::HasControlCharacter;
using tavtext::Trim;

// The code an answers file that cannot be used reports (ERROR_INVALID_DATA).
constexpr long ANSWERS_INVALID = 13;
// The code when the file cannot be read and the C runtime gave none (ERROR_FILE_NOT_FOUND).
constexpr long ANSWERS_UNREADABLE = 2;

// MONITOR_PATTERN: a name with "*" or "?", "*" alone included.
enum class ActionKind { MONITOR, MONITOR_PATTERN, NEW_SERVER, EDIT, REMOVE, OK, CANCEL };

// One property value typed into the properties dialog.
struct Setting {
    int control = 0;
    std::string value;
    int line = 0;
    // Set for password_env: the value is this variable's when the section is played.
    std::string variable;
};

// One section of the file: what the person does, in file order.
struct Action {
    ActionKind kind = ActionKind::OK;
    std::string name;
    bool has_name = false;
    int line = 0;
    std::vector<Setting> settings;
    // state = STATE: only servers whose service is in that state.
    std::optional<tavplat::ServiceState> state;
};

struct AnswersError {
    int line = 0;  // 0: the file as a whole
    std::string message;
};

struct PropertyKey {
    const char* key;
    int control;
};

// The six keys in the properties dialog's tab order.
const PropertyKey PROPERTY_KEYS[] = {
    {"name", IDC_SERVER_NAME},   {"login", IDC_LOGIN},         {"password", IDC_PASSWORD},
    {"version", IDC_VERSION},    {"home", IDC_HOME_DIRECTORY}, {"errorlog", IDC_ERROR_LOG},
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

class AnswersParser {
public:
    bool Parse(const std::string& text, std::vector<Action>* actions, AnswersError* error) {
        actions_ = actions;
        // Editors on Windows may start the file with a UTF-8 byte order mark.
        size_t position = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        int lineNumber = 0;
        std::string_view line;
        while (tavtext::NextLine(text, &position, &line)) {
            ++lineNumber;
            if (!ParseLine(line, lineNumber, error)) {
                error->line = lineNumber;
                return false;
            }
        }
        return true;
    }

private:
    bool Fail(AnswersError* error, const std::string& message) {
        error->message = message;
        return false;
    }

    bool ParseLine(std::string_view raw, int lineNumber, AnswersError* error) {
        if (raw.find('\0') != std::string_view::npos)
            return Fail(error, "the line holds a NUL character");
        const std::string_view line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            return true;
        if (finished_)
            return Fail(error, "nothing may follow [ok] or [cancel], which end the dialog");
        if (line[0] == '[')
            return ParseSection(line, lineNumber, error);
        return ParseSetting(line, lineNumber, error);
    }

    bool ParseSection(std::string_view line, int lineNumber, AnswersError* error) {
        if (line.back() != ']')
            return Fail(error, "a section header must end with ']'");
        const std::string_view inside = Trim(line.substr(1, line.size() - 2));
        const size_t space = std::min(inside.find_first_of(tavtext::BLANKS), inside.size());
        const std::string word(inside.substr(0, space));
        const std::string name(Trim(inside.substr(space)));

        Action action;
        action.line = lineNumber;
        action.name = name;
        action.has_name = !name.empty();
        if (EqualsIgnoringCase(word, "monitor")) {
            if (name.empty())
                return Fail(error, "[monitor] needs a server name, or * for all discovered servers");
            action.kind = IsNamePattern(name) ? ActionKind::MONITOR_PATTERN : ActionKind::MONITOR;
        } else if (EqualsIgnoringCase(word, "new")) {
            action.kind = ActionKind::NEW_SERVER;
        } else if (EqualsIgnoringCase(word, "edit") || EqualsIgnoringCase(word, "remove")) {
            if (name.empty())
                return Fail(error, "[" + word + "] needs the name the server has in \"Servers to Monitor\"");
            action.kind = EqualsIgnoringCase(word, "edit") ? ActionKind::EDIT : ActionKind::REMOVE;
        } else if (EqualsIgnoringCase(word, "ok") || EqualsIgnoringCase(word, "cancel")) {
            if (!name.empty())
                return Fail(error, "[" + word + "] takes no name");
            action.kind = EqualsIgnoringCase(word, "ok") ? ActionKind::OK : ActionKind::CANCEL;
            finished_ = true;
        } else {
            return Fail(error, "unknown section " + Quoted(word) +
                                   "; expected monitor, new, edit, remove, ok or cancel");
        }
        if (HasControlCharacter(name))
            return Fail(error, "the server name holds a control character");
        actions_->push_back(action);
        return true;
    }

    bool ParseSetting(std::string_view line, int lineNumber, AnswersError* error) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return Fail(error, "expected a section such as [monitor NAME] or a line key = value");
        const std::string key(Trim(line.substr(0, equals)));
        std::string value(Trim(line.substr(equals + 1)));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);

        int control = 0;
        for (const PropertyKey& property : PROPERTY_KEYS)
            if (EqualsIgnoringCase(key, property.key))
                control = property.control;
        const bool isState = EqualsIgnoringCase(key, "state");
        const bool fromVariable = EqualsIgnoringCase(key, "password_env");
        if (fromVariable)
            control = IDC_PASSWORD;
        if (control == 0 && !isState)
            return Fail(error, "unknown key " + Quoted(key) +
                                   "; expected name, login, password, version, home or errorlog");
        if (HasControlCharacter(value))
            return Fail(error, "the value of " + key + " holds a control character (a tab?)");
        if (actions_->empty())
            return Fail(error, "a value outside a section; start with [monitor NAME] or [new NAME]");
        Action& action = actions_->back();
        if (action.kind == ActionKind::REMOVE)
            return Fail(error, "[remove] takes no values");
        if (action.kind == ActionKind::MONITOR_PATTERN && control == IDC_SERVER_NAME)
            return Fail(error, action.name == "*" ? std::string("[monitor *] cannot give every server the same name")
                                                  : "[monitor " + action.name +
                                                        "] cannot give every server it matches the same name");
        if (isState)
            return ParseState(action, value, error);
        if (control == IDC_PASSWORD) {
            for (const Setting& setting : action.settings)
                if (setting.control == IDC_PASSWORD && setting.variable.empty() == fromVariable)
                    return Fail(error, "password and password_env cannot both be given in one section");
            if (fromVariable && value.empty())
                return Fail(error, "password_env needs the name of an environment variable");
        }
        action.settings.push_back(Setting{control, fromVariable ? std::string() : value, lineNumber,
                                          fromVariable ? value : std::string()});
        return true;
    }

    bool ParseState(Action& action, const std::string& value, AnswersError* error) {
        if (action.kind != ActionKind::MONITOR && action.kind != ActionKind::MONITOR_PATTERN)
            return Fail(error, std::string(action.kind == ActionKind::EDIT ? "[edit]" : "[new]") +
                                   " takes no state; state = chooses among discovered servers in [monitor]");
        action.state = tavplat::ServiceStateNamed(tavtext::LowerCase(value));  // any case
        if (!action.state)
            return Fail(error, "unknown state " + Quoted(value) +
                                   "; expected running, stopped, paused, starting, stopping or unknown");
        return true;
    }

    std::vector<Action>* actions_ = nullptr;
    bool finished_ = false;
};

// Plays the answers: a click on an item, a double click, the values typed into
// the properties dialog and its OK.
class AnswersSelectView : public MemorySelectView {
public:
    explicit AnswersSelectView(CReport& report) : report_(report) {}

    int RunProperties(CServerPropertiesDlg& dialog) override {
        ++properties_runs_;
        MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        if (action_) {
            if (action_->kind == ActionKind::NEW_SERVER && action_->has_name)
                view.SetControlText(IDC_SERVER_NAME, action_->name);
            for (const Setting& setting : action_->settings)
                view.SetControlText(setting.control, setting.value);
        }
        dialog.OnOK(view);
        // The dialog's messages are shown, but the one that refused OK: the
        // error at the file's line says it, once.
        const std::vector<std::string>& messages = view.Messages();
        const bool refused = !view.Ended();
        for (size_t i = 0; i + (refused && !messages.empty() ? 1 : 0) < messages.size(); ++i)
            report_.Console(messages[i] + "\n");
        if (refused) {
            // The dialog stays open: the file has to change.
            refusal_ = messages.empty() ? std::string("OK was refused") : messages.back();
            refusal_line_ = LineOf(dialog.refused_control);
            if (const std::string variable = VariableOf(dialog.refused_control); !variable.empty())
                refusal_ += " (the password from the environment variable " + variable + ")";
            dialog.OnCancel(view);
        }
        return view.Result();
    }

    void Begin(const Action* action) {
        action_ = action;
        properties_runs_ = 0;
    }
    void StartRun() { properties_runs_ = 0; }
    int PropertiesRuns() const { return properties_runs_; }
    bool Refused() const { return !refusal_.empty(); }
    const std::string& Refusal() const { return refusal_; }
    int RefusalLine() const { return refusal_line_; }

private:
    // The line that set the control's value last, else the section's.
    int LineOf(int control) const {
        int line = action_ ? action_->line : 0;
        if (action_)
            for (const Setting& setting : action_->settings)
                if (setting.control == control)
                    line = setting.line;
        return line;
    }

    // The variable that gave the control its value, or empty.
    std::string VariableOf(int control) const {
        std::string variable;
        if (action_)
            for (const Setting& setting : action_->settings)
                if (setting.control == control)
                    variable = setting.variable;
        return variable;
    }

    CReport& report_;
    const Action* action_ = nullptr;
    int properties_runs_ = 0;
    std::string refusal_;
    int refusal_line_ = 0;
};

class AnswersPlayer {
public:
    AnswersPlayer(CServerSelectDlg& dialog, AnswersSelectView& view, CReport& report, const char* file)
        : dialog_(dialog), view_(view), report_(report), file_(file) {}

    // The modal result, or -1 with *error set.
    int Play(const std::vector<Action>& actions, AnswersError* error) {
        dialog_.OnInitDialog();
        dialog_.OnMonitorSetFocus();  // the monitor list has the focus when the dialog opens
        for (const Action& written : actions) {
            error->line = written.line;
            Action action = written;
            if (!ReadVariables(action, error))
                return -1;
            view_.Begin(&action);
            bool done = true;
            switch (action.kind) {
            case ActionKind::MONITOR: done = Monitor(action, error); break;
            case ActionKind::MONITOR_PATTERN: done = MonitorMatching(action, error); break;
            case ActionKind::NEW_SERVER: done = NewServer(error); break;
            case ActionKind::EDIT: done = Edit(action, error); break;
            case ActionKind::REMOVE: done = Remove(action, error); break;
            case ActionKind::OK: return DIALOG_OK;
            case ActionKind::CANCEL: return DIALOG_CANCEL;
            }
            if (!done)
                return -1;
        }
        return DIALOG_OK;
    }

private:
    bool Fail(AnswersError* error, const std::string& message) {
        error->message = message;
        return false;
    }

    // password_env takes the variable's value as the section is played, so
    // one file serves machines whose deployment sets it. The value is never
    // shown: messages name the variable only.
    bool ReadVariables(Action& action, AnswersError* error) {
        for (Setting& setting : action.settings) {
            if (setting.variable.empty())
                continue;
            error->line = setting.line;
            std::optional<std::string> value = tavplat::EnvironmentValue(setting.variable.c_str());
            if (!value)
                return Fail(error, "the environment variable " + setting.variable + " (password_env) is not set");
            if (value->empty())
                return Fail(error, "the environment variable " + setting.variable + " (password_env) is empty");
            if (HasControlCharacter(*value))
                return Fail(error, "the password in the environment variable " + setting.variable +
                                       " holds a control character (a tab?)");
            setting.value = std::move(*value);
        }
        error->line = action.line;
        return true;
    }

    // Why a section with state = leaves the server out, or empty.
    static std::string StateRefusal(const Action& action, const CDbServer& server) {
        return action.state ? ServiceStateMismatch(server, *action.state) : std::string();
    }

    // The properties dialog ended with OK; otherwise says why not.
    bool CheckProperties(AnswersError* error, const std::string& what) {
        if (view_.Refused()) {
            error->line = view_.RefusalLine();
            return Fail(error, "the properties dialog refused OK: " + view_.Refusal());
        }
        if (view_.PropertiesRuns() == 0)
            return Fail(error, what);
        return true;
    }

    std::string AvailableNames() {
        MemoryListControl& available = view_.Available();
        std::string names;
        for (int i = 0; i < available.GetCount(); ++i)
            names += (i ? ", " : "") + available.GetText(i);
        return names.empty() ? std::string("none") : names;
    }

    // A double click on an item of "Database Servers Available".
    bool AddItem(int index, AnswersError* error) {
        MemoryListControl& available = view_.Available();
        const std::string name = available.GetText(index);
        available.SetCurSel(index);
        view_.StartRun();
        const size_t messages = view_.Messages().size();
        dialog_.OnAvailableSetFocus();
        dialog_.OnAddToMonitor();
        if (view_.Messages().size() > messages)
            return Fail(error, view_.Messages().back());  // the dialog refused the move and said why
        return CheckProperties(error, "server " + Quoted(name) +
                                          " could not be moved: a monitored server already stands for it");
    }

    bool Monitor(const Action& action, AnswersError* error) {
        const int index = view_.Available().FindExact(action.name);
        if (index < 0) {
            if (view_.Monitor().FindExact(action.name) >= 0)
                return Fail(error, "server " + Quoted(action.name) + " is already in \"Servers to Monitor\"");
            return Fail(error, "discovery found no server " + Quoted(action.name) +
                                   " (available: " + AvailableNames() + ")");
        }
        const auto* server = static_cast<const CDbServer*>(view_.Available().GetItemData(index));
        if (const std::string why = StateRefusal(action, *server); !why.empty()) {
            report_.ConsoleAndLog("Server '" + server->GetServerName() + "' left out: " + why + " (state = " +
                                  tavplat::ServiceStateName(*action.state) + ")\n");
            return true;
        }
        return AddItem(index, error);
    }

    // Every server still available whose name matches, in the list's order.
    // A fleet's machines differ, so a section that matches none is no error.
    bool MonitorMatching(const Action& action, AnswersError* error) {
        MemoryListControl& available = view_.Available();
        std::vector<void*> records;
        for (int i = 0; i < available.GetCount(); ++i)
            records.push_back(available.GetItemData(i));
        int matched = 0;
        for (void* record : records) {
            const int index = available.FindData(record);
            // A server that a monitored entry already stands for stays where it is.
            const auto* server = static_cast<const CDbServer*>(record);
            if (index < 0 || dialog_.GetMonitored().Find(server, dialog_.GetFamily()) ||
                !MatchesNamePattern(action.name, server->GetServerName()) || !StateRefusal(action, *server).empty())
                continue;
            ++matched;
            std::vector<int> replaced;
            for (const Setting& setting : action.settings) replaced.push_back(setting.control);
            if (const std::string why = DiscoveredRefusal(*server, replaced); !why.empty()) {
                report_.ConsoleAndLog("Server '" + server->GetServerName() + "' left out: " + why + "\n");
                continue;
            }
            if (!AddItem(index, error))
                return false;
        }
        // "[monitor *]" alone takes whatever is left, nothing included, as it always has.
        if (matched == 0 && (action.name != "*" || action.state))
            report_.ConsoleAndLog(tavtext::Format("%s:%d: [monitor %s] matches no server still available%s%s; "
                                                  "section skipped\n",
                                                  file_, action.line, action.name.c_str(),
                                                  action.state ? " whose service is " : "",
                                                  action.state ? tavplat::ServiceStateName(*action.state) : ""));
        return true;
    }

    bool NewServer(AnswersError* error) {
        dialog_.OnNewServer();
        return CheckProperties(error, "the properties dialog did not open");
    }

    // Click on the item of "Servers to Monitor" that shows the name.
    int SelectMonitored(const Action& action) {
        MemoryListControl& monitor = view_.Monitor();
        const int index = monitor.FindExact(action.name);
        if (index >= 0) {
            monitor.SetCurSel(index);
            dialog_.OnMonitorSetFocus();
        }
        return index;
    }

    bool Edit(const Action& action, AnswersError* error) {
        if (SelectMonitored(action) < 0)
            return Fail(error, "no server " + Quoted(action.name) + " in \"Servers to Monitor\"");
        dialog_.OnEditServer();  // a double click
        return CheckProperties(error, "the properties dialog did not open");
    }

    bool Remove(const Action& action, AnswersError* error) {
        if (SelectMonitored(action) < 0)
            return Fail(error, "no server " + Quoted(action.name) + " in \"Servers to Monitor\"");
        if (!view_.IsButtonEnabled(IDC_REMOVE_FROM_MONITOR))
            return Fail(error, "\">>\" is disabled: with no server discovered the dialog cannot "
                               "take a server out of \"Servers to Monitor\"");
        dialog_.OnRemoveFromMonitor();
        return true;
    }

    CServerSelectDlg& dialog_;
    AnswersSelectView& view_;
    CReport& report_;
    const char* file_;
};

SelectOutcome Failed(const char* name, const AnswersError& error, long errorCode) {
    const std::string where = error.line > 0 ? tavtext::Format("%s:%d", name, error.line) : name;
    return SelectOutcome::Failed(Status::Failure(errorCode, where + ": " + error.message));
}

// The file's bytes, or the errno that stopped the reading.
struct FileText {
    std::string text;
    long error = 0;
};

FileText ReadWholeFile(const char* path) {
    errno = 0;
    FILE* file = tavplat::OpenFile(path, "rb");
    if (!file)
        return FileText{std::string(), errno ? errno : ANSWERS_UNREADABLE};
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return FileText{std::string(), errno ? errno : ANSWERS_UNREADABLE};
    return FileText{std::move(content), 0};
}

}  // namespace

const char* NameOutOfReach(std::string_view name) {
    if (name.empty())
        return "the name is empty";
    if (HasControlCharacter(name))
        return "the name holds a control character";
    if (Trim(name) != name)
        return "the name begins or ends with a blank";
    if (name == "*")
        return "\"*\" stands for every server";
    if (IsNamePattern(name))
        return "\"*\" and \"?\" make the name a pattern";
    return nullptr;
}

std::string DiscoveredRefusal(const CDbServer& server, const std::vector<int>& replaced) {
    if (std::string why = tavdiscovery::ServerRefusal(server); !why.empty())
        return why;
    const struct {
        int control;
        const char* label;
        std::string text;
    } DISCOVERED[] = {
        {IDC_VERSION, "its Database Version", server.GetServerVersion()},
        {IDC_HOME_DIRECTORY, "its Home Directory", server.GetDollarServer()},
        {IDC_ERROR_LOG, "its Error Log File", server.GetErrorlogName()},
    };
    for (const auto& field : DISCOVERED)
        if (std::find(replaced.begin(), replaced.end(), field.control) == replaced.end())
            if (const char* why = tavmachine::ValueRefusal(field.text))
                return std::string(field.label) + ": " + why;
    return std::string();
}

SelectOutcome RunAnswersSelectText(CServerSelectDlg& dialog, const std::string& text, const char* name,
                                   CReport& report) {
    std::vector<Action> actions;
    AnswersError error;
    AnswersParser parser;
    if (!parser.Parse(text, &actions, &error))
        return Failed(name, error, ANSWERS_INVALID);

    AnswersSelectView view(report);
    dialog.SetView(&view);
    AnswersPlayer player(dialog, view, report, name);
    const int result = player.Play(actions, &error);
    dialog.SetView(nullptr);
    if (result < 0)
        return Failed(name, error, ANSWERS_INVALID);
    return SelectOutcome::Ended(result);
}

SelectOutcome RunAnswersSelectDialog(CServerSelectDlg& dialog, const char* path, CReport& report) {
    if (!path || !*path) {
        AnswersError error{0, "no answers file named"};
        return Failed("answers", error, ANSWERS_UNREADABLE);
    }
    const FileText read = ReadWholeFile(path);
    if (read.error != 0) {
        AnswersError error{0, "cannot read the answers file: " + std::string(std::strerror(static_cast<int>(read.error)))};
        return Failed(path, error, read.error);
    }
    return RunAnswersSelectText(dialog, read.text, path, report);
}

}  // namespace tavview
