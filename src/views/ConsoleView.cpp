// The console view: "Configure Database Agents" and "Database Server
// Properties" on a terminal. The handlers run unchanged over in-memory lists;
// the view only shows them and turns typed commands into the clicks a person
// would make.
#include "views/ConsoleView.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "dialogs/SelectionDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "discovery/ServerRecord.h"
#include "platform/ServiceManager.h"
#include "platform/Terminal.h"
#include "text/Text.h"
#include "views/MemoryView.h"

namespace tavview {

namespace {

using tavtext::HasControlCharacter;
using tavtext::LowerCase;
using tavtext::ReadLine;
using tavtext::Trim;

// Prompts and reads a line with echo off, so a password is not shown. Echo
// goes off before the prompt appears: anything typed after it is hidden.
bool ReadSecretLine(FILE* in, FILE* out, const std::string& prompt, std::string* line) {
    tavplat::EchoOff quiet(in);
    std::fputs(prompt.c_str(), out);
    std::fflush(out);
    const bool got = ReadLine(in, line);
    if (quiet.Active())
        std::fputc('\n', out);  // the Enter that ended the line was not echoed either
    return got;
}

struct Field {
    int control;
    const char* label;
};

// Template 202 in tab order.
const Field PROPERTY_FIELDS[] = {
    {IDC_SERVER_NAME, "Server Name"},     {IDC_LOGIN, "Login"},
    {IDC_PASSWORD, "Password"},           {IDC_VERSION, "Database Version"},
    {IDC_HOME_DIRECTORY, "Home Directory"}, {IDC_ERROR_LOG, "Error Log File"},
};

const char* const CLEAR_FIELD = "-";

// How a discovered server's service stands, shown beside its name:
// "(running)", "(stopped, disabled)" for one that cannot be started,
// "(no service)".
std::string ServiceState(const CDbServer& server) {
    const auto& service = server.GetService();
    if (!service)
        return "(no service)";
    std::string state = tavplat::ServiceStateName(service->status.state);
    if (service->status.start == tavplat::ServiceStart::Disabled)
        state += ", disabled";
    return "(" + state + ")";
}

class ConsoleSelectView : public MemorySelectView {
public:
    ConsoleSelectView(FILE* in, FILE* out) : in_(in), out_(out) {
        SetMessageHandler([out](const std::string& text) { std::fprintf(out, "! %s\n", text.c_str()); });
    }

    bool AtEnd() const { return at_end_; }

    int RunProperties(CServerPropertiesDlg& dialog) override {
        MemoryPropertiesView view;
        view.SetMessageHandler([this](const std::string& text) {
            std::fprintf(out_, "  ! %s\n", text.c_str());
        });
        dialog.OnInitDialog(view);
        while (!view.Ended()) {
            std::fprintf(out_, "\nDatabase Server Properties\n"
                               "  (Enter keeps the value in brackets, %s empties the field)\n",
                         CLEAR_FIELD);
            if (!AskFields(view) || !AskButton(dialog, view))
                dialog.OnCancel(view);  // the input ended: as closing the window
        }
        std::fflush(out_);
        return view.Result();
    }

private:
    bool AskFields(MemoryPropertiesView& view) {
        for (const Field& field : PROPERTY_FIELDS) {
            for (;;) {
                const std::string current = view.GetControlText(field.control);
                const bool secret = field.control == IDC_PASSWORD;
                const std::string shown = secret ? std::string(current.size(), '*') : current;
                const std::string prompt = std::string("  ") + field.label + " [" + shown + "]: ";
                std::string answer;
                bool got;
                if (secret) {
                    got = ReadSecretLine(in_, out_, prompt, &answer);
                } else {
                    std::fputs(prompt.c_str(), out_);
                    std::fflush(out_);
                    got = ReadLine(in_, &answer);
                }
                if (!got) {
                    at_end_ = true;
                    return false;
                }
                if (HasControlCharacter(answer)) {
                    std::fputs("  Control characters cannot be typed into this field.\n", out_);
                    continue;
                }
                if (answer == CLEAR_FIELD)
                    view.SetControlText(field.control, "");
                else if (!answer.empty())
                    view.SetControlText(field.control, answer);
                break;
            }
        }
        return true;
    }

    bool AskButton(CServerPropertiesDlg& dialog, MemoryPropertiesView& view) {
        for (;;) {
            std::fputs("  OK or Cancel? [ok]: ", out_);
            std::fflush(out_);
            std::string answer;
            if (!ReadLine(in_, &answer)) {
                at_end_ = true;
                return false;
            }
            answer = LowerCase(Trim(answer));
            if (answer.empty() || answer == "ok" || answer == "o") {
                dialog.OnOK(view);
                return true;
            }
            if (answer == "cancel" || answer == "c") {
                dialog.OnCancel(view);
                return true;
            }
            std::fputs("  Answer ok or cancel.\n", out_);
        }
    }

    FILE* in_;
    FILE* out_;
    bool at_end_ = false;
};

class ConsoleSession {
public:
    ConsoleSession(CServerSelectDlg& dialog, ConsoleSelectView& view, FILE* in, FILE* out)
        : dialog_(dialog), view_(view), in_(in), out_(out) {}

    int Run() {
        dialog_.OnInitDialog();
        dialog_.OnMonitorSetFocus();
        std::fputs("\nConfigure Database Agents\n"
                   "Select the database server(s) that you wish to monitor, from the list "
                   "available servers.\n",
                   out_);
        ShowHelp();
        for (;;) {
            ShowLists();
            std::fputs("Command: ", out_);
            std::fflush(out_);
            std::string line;
            if (view_.AtEnd() || !ReadLine(in_, &line)) {
                std::fputc('\n', out_);
                return DIALOG_CANCEL;
            }
            const int result = Execute(Trim(line));
            if (result != 0)
                return result;
        }
    }

private:
    void ShowHelp() {
        std::fputs("Commands:\n"
                   "  add N     (<<)  move server N of \"Database Servers Available\" to "
                   "\"Servers to Monitor\"\n"
                   "  remove N  (>>)  take server N out of \"Servers to Monitor\"\n"
                   "  new             add a server that was not discovered\n"
                   "  edit N          change the properties of monitored server N\n"
                   "  ok              end and configure the servers to monitor\n"
                   "  cancel          end without configuring anything\n"
                   "  help            show this list\n",
                   out_);
    }

    // The available list's items are discovered records: each shows its
    // service's state. The monitored entries have none of their own.
    void ShowList(const char* title, MemoryListControl& list, bool discovered) {
        std::fprintf(out_, "%s:\n", title);
        if (list.GetCount() == 0)
            std::fputs("  (none)\n", out_);
        for (int i = 0; i < list.GetCount(); ++i) {
            std::fprintf(out_, "  %d  %s", i + 1, list.GetText(i).c_str());
            const auto* server = static_cast<const CDbServer*>(list.GetItemData(i));
            if (discovered && server)
                std::fprintf(out_, "  %s", ServiceState(*server).c_str());
            std::fputc('\n', out_);
        }
    }

    void ShowLists() {
        std::fputc('\n', out_);
        ShowList("Servers to Monitor", view_.Monitor(), false);
        ShowList("Database Servers Available", view_.Available(), true);
    }

    // The item a number names, as a 0-based index; -1 after telling why not.
    int ItemIndex(const std::string& argument, MemoryListControl& list, const char* title) {
        char* end = nullptr;
        const long number = argument.empty() ? 0 : std::strtol(argument.c_str(), &end, 10);
        if (argument.empty() || *end != '\0' || number < 1 || number > list.GetCount()) {
            if (list.GetCount() == 0)
                std::fprintf(out_, "\"%s\" is empty.\n", title);
            else
                std::fprintf(out_, "Give the number of a server in \"%s\" (1 to %d).\n", title,
                             list.GetCount());
            return -1;
        }
        return static_cast<int>(number - 1);
    }

    // 0 to go on, or the dialog's result.
    int Execute(std::string_view line) {
        const size_t space = line.find_first_of(tavtext::BLANKS);
        const std::string word = LowerCase(line.substr(0, space));
        const std::string argument(space == std::string_view::npos ? "" : Trim(line.substr(space)));
        if (word.empty())
            return 0;
        if (word == "add" || word == "<<" || word == "a") {
            const int index = ItemIndex(argument, view_.Available(), "Database Servers Available");
            if (index >= 0) {
                view_.Available().SetCurSel(index);
                dialog_.OnAvailableSetFocus();
                dialog_.OnAddToMonitor();
            }
        } else if (word == "remove" || word == ">>" || word == "r") {
            const int index = ItemIndex(argument, view_.Monitor(), "Servers to Monitor");
            if (index >= 0) {
                view_.Monitor().SetCurSel(index);
                dialog_.OnMonitorSetFocus();
                if (view_.IsButtonEnabled(IDC_REMOVE_FROM_MONITOR))
                    dialog_.OnRemoveFromMonitor();
                else
                    std::fputs("\">>\" is disabled: no database server was discovered.\n", out_);
            }
        } else if (word == "edit" || word == "e") {
            const int index = ItemIndex(argument, view_.Monitor(), "Servers to Monitor");
            if (index >= 0) {
                view_.Monitor().SetCurSel(index);
                dialog_.OnMonitorSetFocus();
                dialog_.OnEditServer();
            }
        } else if (word == "new" || word == "n") {
            dialog_.OnNewServer();
        } else if (word == "ok" || word == "o") {
            if (dialog_.OnOK())
                return DIALOG_OK;
        } else if (word == "cancel" || word == "c") {
            return DIALOG_CANCEL;
        } else if (word == "help" || word == "h" || word == "?") {
            ShowHelp();
        } else {
            std::fprintf(out_, "Unknown command \"%s\"; type help for the list.\n", word.c_str());
        }
        return 0;
    }

    CServerSelectDlg& dialog_;
    ConsoleSelectView& view_;
    FILE* in_;
    FILE* out_;
};

}  // namespace

int RunConsoleSelectDialog(CServerSelectDlg& dialog, FILE* in, FILE* out) {
    ConsoleSelectView view(in, out);
    dialog.SetView(&view);
    ConsoleSession session(dialog, view, in, out);
    const int result = session.Run();
    dialog.SetView(nullptr);
    std::fflush(out);
    return result;
}

}  // namespace tavview
