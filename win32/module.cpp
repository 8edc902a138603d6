#include "win32/module.h"

namespace kel::win32 {

HMODULE moduleContaining(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module)) {
        return nullptr;
    }
    return module;
}

HMODULE thisModule() {
    return moduleContaining(reinterpret_cast<const void*>(&thisModule));
}

} // namespace kel::win32
