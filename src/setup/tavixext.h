// The installation exit: the entry point and the steps of a setup run.
#ifndef TAV_SETUP_TAVIXEXT_H
#define TAV_SETUP_TAVIXEXT_H

#include <string>

#if defined(_WIN32)
#define TAV_EXPORT extern "C" __declspec(dllexport)
#else
#define TAV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

class CDbServerList;
class CInstallParams;
namespace tavplat { class RegistryReader; }

// The one export. Returns 0 (done), 1 (refused or cancelled) or 2 (no setup log).
TAV_EXPORT int TavSetUp(int skip, const char* iniPath, int reserved, char* parms);

// The maker's installation directories, found by ReadInstallPaths.
extern std::string BinPath;
extern std::string DllPath;
extern std::string EtcPath;
extern std::string LogPath;

// The library name carried by the entry point's failure messages.
extern std::string LibraryName;

void ReadInstallPaths(tavplat::RegistryReader& registry, const char* machine);
void CopyLocalSettings(const char* iniPath);
int ShowServerDialog(int family, CDbServerList& servers, CInstallParams& params);

#endif
