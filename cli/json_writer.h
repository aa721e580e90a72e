#pragma once
// One JSON object on one line, built field by field: what probe --json and inspect --json
// print.

#include <string>

class JsonObject {
  public:
    JsonObject& text(const std::string& key, const std::string& value);
    JsonObject& number(const std::string& key, double value);
    JsonObject& boolean(const std::string& key, bool value);
    // `json` is already JSON (an array, an object).
    JsonObject& raw(const std::string& key, const std::string& json);
    std::string str() const { return "{" + body_ + "}"; }

  private:
    void key(const std::string& name);
    std::string body_;
};

// `value` as a JSON string literal, quotes included.
std::string jsonString(const std::string& value);
