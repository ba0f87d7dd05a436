// The selection dialog "Configure Database Agents": discovered servers move
// between "Database Servers Available" and "Servers to Monitor"; every move,
// addition and edit changes the monitored set at once.
#include "dialogs/SelectionDialog.h"

#include <optional>
#include <string>
#include <vector>

#include "dialogs/PropertiesDialog.h"
#include "discovery/ServerList.h"
#include "discovery/ServerNameRules.h"
#include "discovery/ServiceNaming.h"
#include "monitor/MonitoredSet.h"
#include "password/PasswordEncoding.h"

using tavplat::ListBox;

namespace {

const char* const NEW_SERVER_NAME = "New_Server";

void FillPropertiesFromEntry(CServerPropertiesDlg& dialog, const CMonitoredServer& entry) {
    dialog.server_name = entry.GetServerName();
    dialog.error_log = entry.GetErrorlogName();
    dialog.home_directory = entry.GetDollarServer();
    dialog.database_version = entry.GetServerVersion();
    dialog.login = entry.GetLogin();
    dialog.password = entry.GetPassword();
}

void SetEntryFromProperties(CMonitoredServer& entry, const CServerPropertiesDlg& dialog) {
    entry.SetServerName(dialog.server_name.c_str());
    entry.SetErrorlogName(dialog.error_log.c_str());
    entry.SetDollarServer(dialog.home_directory.c_str());
    entry.SetServerVersion(dialog.database_version.c_str());
    entry.SetLogin(dialog.login.c_str());
    entry.SetPassword(dialog.password.c_str());
}

// What the line at the dialog's foot says of a discovered server.
std::string ServiceLine(const CDbServer& server) {
    return server.GetService() ? "Service: " + ServiceSummary(server) : "Service: none";
}

}  // namespace

CServerSelectDlg::CServerSelectDlg(Family family, CDbServerList& servers, CMonitoredSet& monitored)
    : family_(family), servers_(servers), monitored_(monitored) {}

int CServerSelectDlg::AvailableCount() const {
    return servers_.GetCount(family_);
}

// Keeps the texts of the lists' current items, to select them again later.
void CServerSelectDlg::UpdateDataFromControls() {
    ListBox& available = view_->List(IDC_AVAILABLE_LIST);
    int index = available.GetCurSel();
    available_text_ = index >= 0 ? available.GetText(index) : std::string();
    ListBox& monitor = view_->List(IDC_MONITOR_LIST);
    index = monitor.GetCurSel();
    monitor_text_ = index >= 0 ? monitor.GetText(index) : std::string();
}

// Each list selects again the first item that begins with its kept text.
void CServerSelectDlg::UpdateDataToControls() {
    view_->List(IDC_AVAILABLE_LIST).SelectStringPrefix(available_text_);
    view_->List(IDC_MONITOR_LIST).SelectStringPrefix(monitor_text_);
}

bool CServerSelectDlg::OnInitDialog() {
    UpdateDataToControls();
    const int count = AvailableCount();
    view_->EnableButton(IDC_REMOVE_FROM_MONITOR, count != 0);
    ListBox& available = view_->List(IDC_AVAILABLE_LIST);
    available_records_.clear();
    for (int index = 0; index < count; ++index) {
        CDbServer* server = servers_.GetAt(index, family_);
        if (!server)
            continue;
        const int item = available.AddString(server->GetServerName());
        available.SetItemData(item, server);
        available_records_.insert(server);
    }
    UpdateServiceText();
    return true;
}

// The line follows the available list's selection, whatever moved it.
void CServerSelectDlg::UpdateServiceText() {
    ListBox& available = view_->List(IDC_AVAILABLE_LIST);
    const int index = available.GetCurSel();
    const auto* server = index >= 0 ? static_cast<const CDbServer*>(available.GetItemData(index)) : nullptr;
    view_->SetServiceText(server ? ServiceLine(*server) : std::string());
}

void CServerSelectDlg::OnAvailableSelectionChanged() {
    UpdateServiceText();
}

void CServerSelectDlg::OnAvailableSetFocus() {
    view_->EnableButton(IDC_REMOVE_FROM_MONITOR, false);
    view_->EnableButton(IDC_EDIT_SERVER, false);
    if (AvailableCount() != 0)
        view_->EnableButton(IDC_ADD_TO_MONITOR, true);
}

void CServerSelectDlg::OnMonitorSetFocus() {
    view_->EnableButton(IDC_ADD_TO_MONITOR, false);
    if (AvailableCount() != 0) {
        view_->EnableButton(IDC_REMOVE_FROM_MONITOR, true);
        view_->EnableButton(IDC_EDIT_SERVER, true);
    }
}

void CServerSelectDlg::OnAddToMonitor() {
    ListBox& available = view_->List(IDC_AVAILABLE_LIST);
    ListBox& monitor = view_->List(IDC_MONITOR_LIST);
    const int availableIndex = available.GetCurSel();
    if (availableIndex < 0)
        return;
    auto* server = static_cast<CDbServer*>(available.GetItemData(availableIndex));
    if (!server || monitored_.Find(server, family_))
        return;
    // Its files would bear a name Windows refuses or misreads, or a line
    // that no one can correct: it stays available.
    if (const std::string why = tavdiscovery::ServerRefusal(*server); !why.empty()) {
        view_->MessageBox("The server '" + server->GetServerName() + "' cannot be monitored: " + why);
        return;
    }

    auto added = std::make_unique<CMonitoredServer>();
    added->AssignFromServer(*server);
    CMonitoredServer* entry = monitored_.Add(std::move(added), family_);
    if (!entry)
        return;
    const int monitorIndex = monitor.AddString(entry->GetServerName());
    monitor.SetItemData(monitorIndex, entry);

    CServerPropertiesDlg properties;
    FillPropertiesFromEntry(properties, *entry);
    const int result = view_->RunProperties(properties);
    if (result == DIALOG_OK) {
        SetEntryFromProperties(*entry, properties);
        available.DeleteString(availableIndex);
        available_records_.erase(server);
    } else if (result == DIALOG_CANCEL) {
        monitored_.Remove(entry, family_);
        monitor.DeleteString(monitorIndex);
        view_->EnableButton(IDC_REMOVE_FROM_MONITOR, false);
        view_->EnableButton(IDC_EDIT_SERVER, false);
        view_->EnableButton(IDC_ADD_TO_MONITOR, true);
    }
    UpdateServiceText();
    view_->SetFocusToDialog();
}

bool CServerSelectDlg::OnOK() {
    std::vector<std::string> names;
    for (int i = 0; i < monitored_.Count(family_); ++i)
        names.push_back(monitored_.At(i, family_)->GetServerName());
    const std::optional<tavdiscovery::NameCollision> collision = tavdiscovery::FindNameCollision(names);
    if (!collision)
        return true;
    view_->MessageBox(tavdiscovery::CollisionMessage(names[collision->first], names[collision->second]));
    return false;
}

void CServerSelectDlg::OnRemoveFromMonitor() {
    ListBox& monitor = view_->List(IDC_MONITOR_LIST);
    const int monitorIndex = monitor.GetCurSel();
    if (monitorIndex < 0)
        return;
    UpdateDataFromControls();
    auto* entry = static_cast<CMonitoredServer*>(monitor.GetItemData(monitorIndex));
    if (!entry)
        return;

    CDbServer* server =
        servers_.FindByName(entry->GetServerFamily(), entry->GetServerName().c_str());
    monitored_.Remove(entry, family_);
    // The record comes back to "Database Servers Available" only when no other
    // entry still stands for it and it is not listed there already: a monitored
    // server renamed to another discovered server's name must not make that
    // server appear twice.
    if (server && !monitored_.Find(server, family_)) {
        ListBox& available = view_->List(IDC_AVAILABLE_LIST);
        if (available_records_.insert(server).second) {
            const int item = available.AddString(server->GetServerName());
            available.SetItemData(item, server);
        }
    }
    monitor.DeleteString(monitorIndex);
    UpdateServiceText();
}

void CServerSelectDlg::OnNewServer() {
    CServerPropertiesDlg properties;
    properties.server_name = NEW_SERVER_NAME;
    // Only a confirmed dialog adds a server: a dialog that failed to run gave
    // nobody the chance to fill it in.
    if (view_->RunProperties(properties) != DIALOG_OK)
        return;

    auto added = std::make_unique<CMonitoredServer>();
    SetEntryFromProperties(*added, properties);
    CMonitoredServer* entry = monitored_.Add(std::move(added), family_);
    if (!entry)
        return;
    ListBox& monitor = view_->List(IDC_MONITOR_LIST);
    const int item = monitor.AddString(properties.server_name);
    monitor.SetItemData(item, entry);
}

void CServerSelectDlg::OnEditServer() {
    ListBox& monitor = view_->List(IDC_MONITOR_LIST);
    const int index = monitor.GetCurSel();
    if (index < 0)
        return;
    auto* entry = static_cast<CMonitoredServer*>(monitor.GetItemData(index));
    if (!entry)
        return;

    CServerPropertiesDlg properties;
    FillPropertiesFromEntry(properties, *entry);
    const std::string login = entry->GetLogin();
    const std::string name = entry->GetServerName();
    // Shown as it would be typed, so that OK without a change keeps it.
    // An error text stands in the field in place of the password.
    const DecodedPassword decoded = DecodePassword(entry->GetPassword(), {login, name});
    properties.password = PasswordAsTyped(decoded.status.Ok() ? decoded.password : decoded.status.text);

    UpdateDataToControls();
    UpdateServiceText();
    if (view_->RunProperties(properties) == DIALOG_OK)
        SetEntryFromProperties(*entry, properties);
    view_->SetFocusToDialog();
}
