#include "shell/host_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kel::shell {

void copyHostText(char* buffer, std::size_t capacity, const char* text) {
    if (!buffer || capacity == 0) {
        return;
    }
    const std::size_t length = text ? strnlen(text, capacity - 1) : 0;
    std::memcpy(buffer, text ? text : "", length);
    buffer[length] = 0;
}

void formatHostText(char* buffer, std::size_t capacity, const char* format, ...) {
    if (!buffer || capacity == 0) {
        return;
    }
    std::va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(buffer, capacity, format, arguments);
    va_end(arguments);
    if (written < 0) {
        buffer[0] = 0;
    }
}

} // namespace kel::shell
