// The library's own module handle: the dialog templates are taken from its
// resources, so a host program's own resources never stand in for them.
#include "platform/Module.h"

#include <windows.h>

namespace {

// Set once at load, before any call of TavSetUp; read only afterwards.
HMODULE g_library_module = nullptr;

}  // namespace

// Linked into TAVNOVU.dll this is the library's entry point. Linked
// statically into a program it is never called and the program's own module
// holds the templates.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_library_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

namespace tavplat {

void* LibraryModuleHandle() {
    if (g_library_module != nullptr)
        return g_library_module;
    return GetModuleHandleA(nullptr);
}

}  // namespace tavplat
