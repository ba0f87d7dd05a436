// The selection dialog "Configure Database Agents" (template 201).
#ifndef TAV_DIALOGS_SELECTIONDIALOG_H
#define TAV_DIALOGS_SELECTIONDIALOG_H

#include <string>
#include <unordered_set>

#include "dialogs/DialogView.h"
#include "discovery/Family.h"

class CDbServer;
class CDbServerList;
class CMonitoredSet;

class CServerSelectDlg {
public:
    CServerSelectDlg(Family family, CDbServerList& servers, CMonitoredSet& monitored);
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
    void OnAvailableSelectionChanged();
    // OK may end the dialog only when no two monitored servers would share
    // their files; otherwise the view says which two, and false.
    bool OnOK();

    Family GetFamily() const { return family_; }
    CMonitoredSet& GetMonitored() { return monitored_; }

private:
    void UpdateDataFromControls();
    void UpdateDataToControls();
    int AvailableCount() const;
    void UpdateServiceText();

    Family family_;
    CDbServerList& servers_;
    CMonitoredSet& monitored_;
    ISelectView* view_ = nullptr;
    // The records "Database Servers Available" lists: only the handlers add
    // and remove its items.
    std::unordered_set<const CDbServer*> available_records_;
    std::string available_text_;
    std::string monitor_text_;
};

#endif
