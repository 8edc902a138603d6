// The module (plug-in DLL or program) that holds a piece of code: where its resources, its window
// classes and the files beside it are found.
#pragma once

#include <windows.h>

namespace kel::win32 {

// The module whose image holds the address; null when none does.
HMODULE moduleContaining(const void* address);

// The module the calling code is linked into (this library is linked into each module that uses
// it, so each gets its own answer).
HMODULE thisModule();

} // namespace kel::win32
