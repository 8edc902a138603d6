#include <cinttypes>
#include <cstdio>

#include "widgets/frame_window.h"

namespace VSTGUI {

void frameWindowClassName(std::uintptr_t moduleHandle, char* name, std::size_t size) {
#if UINTPTR_MAX > 0xffffffffu
    std::snprintf(name, size, "Plugin%016" PRIx64, static_cast<std::uint64_t>(moduleHandle));
#else
    std::snprintf(name, size, "Plugin%08" PRIx32, static_cast<std::uint32_t>(moduleHandle));
#endif
}

} // namespace VSTGUI
