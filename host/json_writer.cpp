#include "host/json_writer.h"

#include <cmath>
#include <cstdio>

namespace kel::host {

void JsonWriter::separator(const char* key) {
    if (needComma) {
        out += ',';
    }
    if (key) {
        out += quoted(key);
        out += ':';
    }
    needComma = true;
}

std::string JsonWriter::quoted(const std::string& text) {
    std::string result = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
            result += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", c);
            result += escape;
        } else {
            result += static_cast<char>(c);
        }
    }
    return result + "\"";
}

JsonWriter& JsonWriter::beginObject(const char* key) {
    separator(key);
    out += '{';
    needComma = false;
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    out += '}';
    needComma = true;
    return *this;
}

JsonWriter& JsonWriter::beginArray(const char* key) {
    separator(key);
    out += '[';
    needComma = false;
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    out += ']';
    needComma = true;
    return *this;
}

JsonWriter& JsonWriter::value(const char* key, const std::string& text) {
    separator(key);
    out += quoted(text);
    return *this;
}

JsonWriter& JsonWriter::value(const char* key, long long number) {
    separator(key);
    out += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(const char* key, double number) {
    separator(key);
    if (!std::isfinite(number)) {
        out += "null";
        return *this;
    }
    char text[40];
    std::snprintf(text, sizeof(text), "%.9g", number);
    out += text;
    return *this;
}

JsonWriter& JsonWriter::value(const char* key, bool flag) {
    separator(key);
    out += flag ? "true" : "false";
    return *this;
}

} // namespace kel::host
