// Naming of the frame's window class: one class per module, named after the module's handle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VSTGUI {

// "Plugin" and the handle in hexadecimal: 8 digits in 32-bit builds, and the full 16 digits in
// 64-bit builds, so that two modules can never compute the same name (a global class of
// another module would run that module's window procedure).
void frameWindowClassName(std::uintptr_t moduleHandle, char* name, std::size_t size);

} // namespace VSTGUI
