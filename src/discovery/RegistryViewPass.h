// One family's discovery run over every view of the registry: each view is
// read in a pass of its own, the 64-bit view first, and a record of a later
// view whose texts all equal those of a record of an earlier view is left out
// (a key both views share). Nothing found in one view carries into the other.
#ifndef TAV_DISCOVERY_REGISTRYVIEWPASS_H
#define TAV_DISCOVERY_REGISTRYVIEWPASS_H

#include <functional>
#include <memory>

#include "discovery/Family.h"
#include "discovery/ServerList.h"
#include "platform/RegistryReader.h"

class RegistryViewPass {
public:
    // Outside ForEachView the pass reads the machine's own view, named "64",
    // and files every record it is given.
    RegistryViewPass(CDbServerList& list, tavplat::RegistryReader& registry, Family family)
        : list_(list), registry_(registry), family_(family) {}

    // Calls pass() once per view, with Open and AddFound set to that view.
    void ForEachView(const std::function<void()>& pass);

    // Opens a key in the view being read.
    std::unique_ptr<tavplat::RegistryKey> Open(const char* path, unsigned access);
    // Files a record of the view being read, unless an earlier view of the
    // same run gave it.
    void AddFound(std::unique_ptr<CDbServer> server);

private:
    CDbServerList& list_;
    tavplat::RegistryReader& registry_;
    Family family_;
    unsigned view_access_ = 0;  // the view flag added to every open
    const char* view_name_ = "64";
    int run_start_ = 0;   // the family's first record of this run
    int pass_start_ = 0;  // and of the view being read
};

#endif
