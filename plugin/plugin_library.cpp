// The native plug-in library: the core linked whole, with ENTRYPOINT its only visible symbol.
#include "plugin/plugin.h"
