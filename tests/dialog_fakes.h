// Test doubles for the dialog tests: a registry with nothing in it, a server
// list filled by hand, and a selection view that records what the handlers
// tell it and plays a scripted person in the properties dialog.
#ifndef TAV_TESTS_DIALOG_FAKES_H
#define TAV_TESTS_DIALOG_FAKES_H

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/dlgview.h"
#include "dialogs/tavixpro.h"
#include "discovery/tavdisc.h"
#include "platform/MemoryView.h"
#include "platform/RegistryReader.h"

namespace tavtest {

class EmptyRegistry : public tavplat::RegistryReader {
public:
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char*, unsigned, long* error) override {
        if (error) *error = tavplat::REG_FILE_NOT_FOUND;
        return nullptr;
    }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char*, long* error) override {
        if (error) *error = tavplat::REG_BAD_NETPATH;
        return nullptr;
    }
};

struct ServerFields {
    const char* name;
    const char* service;
    const char* errorlog;
    const char* home;
    const char* version;
};

// A discovered Oracle instance, as discovery would file it.
inline CDbServer* MakeOracle(const ServerFields& fields) {
    auto* server = new COracleServer(fields.name);
    server->SetServerName(fields.name);
    server->SetServiceName(fields.service);
    server->SetErrorlogName(fields.errorlog);
    server->SetDollarServer(fields.home);
    server->SetServerVersion(fields.version);
    return server;
}

// A server list with records of the Oracle family, in discovery order.
struct OracleMachine {
    EmptyRegistry registry;
    CDbServerList servers{registry};

    explicit OracleMachine(const std::vector<ServerFields>& found) {
        for (const ServerFields& fields : found)
            servers.Add(MakeOracle(fields), FAMILY_ORACLE);
    }
    CDbServer* Record(const char* name) { return servers.FindByName(FAMILY_ORACLE, name); }
};

// What the person does in the properties dialog: given the dialog and its
// view after OnInitDialog, presses a button; returns the modal result.
using Person = std::function<void(CServerPropertiesDlg&, tavplat::MemoryPropertiesView&)>;

inline Person PressOk(std::map<int, std::string> typed = {}) {
    return [typed](CServerPropertiesDlg& dialog, tavplat::MemoryPropertiesView& view) {
        for (const auto& [control, text] : typed)
            view.SetControlText(control, text);
        dialog.OnOK(view);
    };
}

inline Person PressCancel() {
    return [](CServerPropertiesDlg& dialog, tavplat::MemoryPropertiesView& view) {
        dialog.OnCancel(view);
    };
}

class FakeSelectView : public ISelectView {
public:
    tavplat::MemoryListControl monitor{true};
    tavplat::MemoryListControl available{false};
    std::map<int, bool> buttons{{IDC_ADD_TO_MONITOR, false},
                                {IDC_REMOVE_FROM_MONITOR, false},
                                {IDC_NEW_SERVER, true},
                                {IDC_EDIT_SERVER, true}};
    std::vector<std::string> events;
    // What the properties dialog showed when it opened, per run.
    std::vector<std::map<int, std::string>> shown;
    std::vector<std::string> messages;
    Person person = PressOk();
    int forced_result = 0;  // non-zero: the properties dialog "fails" with it

    IListControl& List(int id) override {
        return id == IDC_MONITOR_LIST ? static_cast<IListControl&>(monitor) : available;
    }
    void EnableButton(int id, bool enable) override {
        buttons[id] = enable;
        events.push_back((enable ? "enable " : "disable ") + std::to_string(id));
    }
    int RunProperties(CServerPropertiesDlg& dialog) override {
        events.push_back("properties");
        if (forced_result)
            return forced_result;
        tavplat::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        std::map<int, std::string> controls;
        for (int id : {IDC_SERVER_NAME, IDC_LOGIN, IDC_PASSWORD, IDC_VERSION, IDC_HOME_DIRECTORY,
                       IDC_ERROR_LOG})
            controls[id] = view.GetControlText(id);
        shown.push_back(controls);
        person(dialog, view);
        for (const std::string& text : view.Messages())
            messages.push_back(text);
        return view.Ended() ? view.Result() : 0;
    }
    void SetFocusToDialog() override { events.push_back("focus"); }

    std::vector<std::string> Texts(tavplat::MemoryListControl& list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list.GetCount(); ++i)
            texts.push_back(list.GetText(i));
        return texts;
    }
    int PropertiesRuns() const {
        int runs = 0;
        for (const std::string& event : events)
            runs += event == "properties";
        return runs;
    }
};

}  // namespace tavtest

#endif
