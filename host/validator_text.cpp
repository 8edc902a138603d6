#include "host/validator_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kel::host {

TextWrite measureTextWrite(const std::function<void(char*)>& query, std::size_t bufferSize) {
    TextWrite result;
    std::vector<char> buffer(bufferSize);
    for (unsigned char pattern : {0xA5, 0x5A}) {
        std::fill(buffer.begin(), buffer.end(), static_cast<char>(pattern));
        query(buffer.data());
        std::size_t extent = bufferSize;
        while (extent > 0 && static_cast<unsigned char>(buffer[extent - 1]) == pattern) {
            --extent;
        }
        result.extent = std::max(result.extent, extent);
        if (pattern == 0xA5) {
            const char* end = static_cast<const char*>(std::memchr(buffer.data(), 0, bufferSize));
            result.terminated = end != nullptr;
            result.text.assign(buffer.data(),
                               end ? static_cast<std::size_t>(end - buffer.data()) : bufferSize);
        }
    }
    return result;
}

std::string floatText(double value, int digits) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    char text[40];
    std::snprintf(text, sizeof(text), "%.*g", digits, value);
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            out += escaped;
        }
    }
    return out + "\"";
}

std::string describeDifference(const SignalDifference& difference,
                               const std::vector<int>* partition) {
    std::string text = "first difference at frame " + std::to_string(difference.frame) +
                       " of channel " + std::to_string(difference.channel) + ": " +
                       floatText(difference.actual, 9) + " instead of " +
                       floatText(difference.expected, 9);
    if (partition) {
        std::size_t start = 0;
        for (int block : *partition) {
            if (difference.frame < start + static_cast<std::size_t>(block)) {
                text += " (frame " + std::to_string(difference.frame - start) + " of a block of " +
                        std::to_string(block) + " frames starting at " + std::to_string(start) +
                        ")";
                break;
            }
            start += static_cast<std::size_t>(block);
        }
    }
    return text;
}

} // namespace kel::host
