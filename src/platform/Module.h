// The library's own module, whose resources hold the dialog templates.
#ifndef TAV_PLATFORM_MODULE_H
#define TAV_PLATFORM_MODULE_H

namespace tavplat {

// On Windows the HMODULE that DllMain was given, or the program's own module
// when the core is linked statically (tests); null elsewhere.
void* LibraryModuleHandle();

}  // namespace tavplat

#endif
