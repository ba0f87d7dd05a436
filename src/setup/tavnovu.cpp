// The library's application object. On Windows the module handle comes from
// DllMain (platform layer); nothing else of a run depends on it.
#include "setup/tavixext.h"
