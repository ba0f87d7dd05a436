// The installation exit: the entry point and the steps of a setup run.
#ifndef TAV_SETUP_SETUPRUN_H
#define TAV_SETUP_SETUPRUN_H

#if defined(_WIN32)
#define TAV_EXPORT extern "C" __declspec(dllexport)
#else
#define TAV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#include "discovery/Family.h"

class CDbServerList;
class CMonitoredSet;
class CReport;

// The one export. Returns 0 (done), 1 (refused or cancelled) or 2 (no setup log).
// Each call starts the collector runtime as a fresh process has it and
// releases it on return, so that a host may call again in the same process.
TAV_EXPORT int TavSetUp(int skip, const char* iniPath, int reserved, char* parms);

// Copies the "[Local Settings]" sections of the installer's settings file
// into "tavtset.ini" in the current directory.
void CopyLocalSettings(const char* iniPath);

// Runs the selection dialog over the servers found. Returns 0 after OK, 1
// after Cancel, or the system's error code when the dialog could not be shown.
int ShowServerDialog(Family family, CDbServerList& servers, CMonitoredSet& monitored, CReport& report);

#endif
