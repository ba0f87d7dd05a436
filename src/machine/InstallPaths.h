// The maker's installation directories, read from its configuration keys in
// the registry of this machine or of another one.
#ifndef TAV_SETUP_TAVIXPTH_H
#define TAV_SETUP_TAVIXPTH_H

#include "generate/tavixdcl.h"
#include "report/Report.h"

namespace tavplat { class RegistryReader; }

// Reads the paths from the registry of machine (null, empty or "local": this
// one). What it reads and every failure are told on the report's console;
// a path it does not find stays empty.
InstallPaths ReadInstallPaths(tavplat::RegistryReader& registry, const char* machine, CReport& report);

#endif
