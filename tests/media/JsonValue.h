#pragma once
// Just enough JSON to read ffprobe's report in the media tests.

#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member's value, or a null value when absent or not an object.
    const JsonValue& operator[](const std::string& name) const;
    // A string member as text, a number member as its number's text.
    std::string Text(const std::string& name) const;
    long Integer(const std::string& name) const;
};

// False, with *error saying where, on malformed text.
bool ParseJson(const std::string& text, JsonValue* out, std::string* error);
