// The selection dialog "Configure Database Agents" (template 201).
#ifndef TAV_DIALOGS_SELECTIONDIALOG_H
#define TAV_DIALOGS_SELECTIONDIALOG_H

#include <string>

#include "dialogs/DialogView.h"
#include "discovery/Family.h"

class CDbServerList;
class CInstallParams;

class CServerSelectDlg {
public:
    CServerSelectDlg(Family family, CDbServerList& servers, CInstallParams& params);
    virtual ~CServerSelectDlg() = default;

    void SetView(ISelectView* view) { view_ = view; }

    // Handlers, one per notification.
    bool OnInitDialog();
    void OnAddToMonitor();
    void OnRemoveFromMonitor();
    void OnNewServer();
    void OnEditServer();
    void OnAvailableSetFocus();
    void OnMonitorSetFocus();

    Family GetFamily() const { return family_; }
    CDbServerList& GetServers() { return servers_; }
    CInstallParams& GetParams() { return params_; }

private:
    void UpdateDataFromControls();
    void UpdateDataToControls();
    int AvailableCount() const;

    Family family_;
    CDbServerList& servers_;
    CInstallParams& params_;
    ISelectView* view_ = nullptr;
    std::string available_text_;
    std::string monitor_text_;
};

#endif
