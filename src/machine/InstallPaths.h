// The maker's installation directories, read from its configuration keys in
// the registry of this machine or of another one.
#ifndef TAV_MACHINE_INSTALLPATHS_H
#define TAV_MACHINE_INSTALLPATHS_H

#include <string>

#include "report/Report.h"

namespace tavplat { class RegistryReader; }

// The maker's installation directories as its registry keys name them. An
// empty one leaves its install parameter to the environment.
struct InstallPaths {
    std::string bin;
    std::string dll;
    std::string etc;
    std::string log;
};

// Reads the paths from the registry of machine (null, empty or "local": this
// one). What it reads and every failure are told on the report's console;
// a path it does not find stays empty.
InstallPaths ReadInstallPaths(tavplat::RegistryReader& registry, const char* machine, CReport& report);

#endif
