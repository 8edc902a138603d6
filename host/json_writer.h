// A small streaming JSON writer for the host's script-readable output.
#pragma once

#include <string>

namespace kel::host {

class JsonWriter {
public:
    JsonWriter& beginObject(const char* key = nullptr);
    JsonWriter& endObject();
    JsonWriter& beginArray(const char* key = nullptr);
    JsonWriter& endArray();
    JsonWriter& value(const char* key, const std::string& text);
    JsonWriter& value(const char* key, const char* text) { return value(key, std::string(text)); }
    JsonWriter& value(const char* key, long long number);
    JsonWriter& value(const char* key, int number) {
        return value(key, static_cast<long long>(number));
    }
    JsonWriter& value(const char* key, double number);
    JsonWriter& value(const char* key, bool flag);
    const std::string& str() const { return out; }

private:
    void separator(const char* key);
    static std::string quoted(const std::string& text);
    std::string out;
    bool needComma = false;
};

} // namespace kel::host
