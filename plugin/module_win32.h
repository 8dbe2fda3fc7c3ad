// The module instance handle stored by DllMain (the resource instance of the dialog). In a
// program that links the plug-in's code directly it is none, and the program's own module is used.
#pragma once

#include <windows.h>

HINSTANCE PluginModule(void);
