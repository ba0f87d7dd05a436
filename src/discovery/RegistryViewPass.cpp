// A family's discovery run, once per registry view, without cross-view twins.
#include "discovery/RegistryViewPass.h"

#include "machine/RegistryValues.h"

void RegistryViewPass::ForEachView(const std::function<void()>& pass) {
    run_start_ = list_.GetCount(family_);
    for (const tavmachine::RegistryView& view : tavmachine::ViewsOf(registry_)) {
        view_access_ = view.access;
        view_name_ = view.name;
        pass_start_ = list_.GetCount(family_);
        pass();
    }
    view_access_ = 0;
    view_name_ = "64";
    run_start_ = pass_start_ = 0;
}

std::unique_ptr<tavplat::RegistryKey> RegistryViewPass::Open(const char* path, unsigned access) {
    return registry_.OpenKey(path, access | view_access_);
}

void RegistryViewPass::AddFound(std::unique_ptr<CDbServer> server) {
    // Within one view records are filed as found, twins included.
    for (int i = run_start_; i < pass_start_; ++i)
        if (list_.GetAt(i, family_)->HasSameTexts(*server))
            return;
    server->SetRegistryView(view_name_);
    list_.Add(std::move(server), family_);
}
