// Every text the effect writes into a buffer the host owns goes through copyHostText or
// formatHostText: never more bytes than the buffer's capacity, always terminated.
#pragma once

#include <cstddef>

namespace kel::shell {

// Capacities in bytes, terminator included. Hosts conventionally give parameter texts 8 bytes
// and the effect name 32, vendor and product 64; "Mid Boost" needs 10, and hosts give parameter
// texts more room than 8 in practice, so those are bounded at 16.
inline constexpr std::size_t kParameterTextCapacity = 16; // name, label and display
inline constexpr std::size_t kEffectNameCapacity = 32;
inline constexpr std::size_t kVendorTextCapacity = 64; // vendor and product
inline constexpr std::size_t kProgramNameCapacity = 32;

// Copies text, cut to capacity - 1 characters, and its terminator. Nothing when buffer is null or
// capacity 0; a null text is written as "".
void copyHostText(char* buffer, std::size_t capacity, const char* text);

// printf-style formatting into the buffer under the same bounds.
void formatHostText(char* buffer, std::size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

} // namespace kel::shell
