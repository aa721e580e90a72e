#include "json_writer.h"

#include <cmath>
#include <cstdio>

std::string jsonString(const std::string& value) {
    std::string out = "\"";
    for (unsigned char ch : value) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", ch);
            out += escape;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out + "\"";
}

void JsonObject::key(const std::string& name) {
    if (!body_.empty()) body_ += ",";
    body_ += jsonString(name) + ":";
}

JsonObject& JsonObject::text(const std::string& name, const std::string& value) {
    key(name);
    body_ += jsonString(value);
    return *this;
}

JsonObject& JsonObject::number(const std::string& name, double value) {
    key(name);
    if (!std::isfinite(value)) {
        body_ += "null";
        return *this;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    body_ += buffer;
    return *this;
}

JsonObject& JsonObject::boolean(const std::string& name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::raw(const std::string& name, const std::string& json) {
    key(name);
    body_ += json;
    return *this;
}
