#include "AuthoringXml.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, char>, 5> kNamedEntities = {{
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''},
}};

constexpr uint32_t kLastCodePoint = 0x10FFFF;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void AppendUtf8(uint32_t code, std::string* out)
{
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool DecodeNumericEntity(std::string_view name, std::string* out)
{
    bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return false;
    uint32_t code = 0;
    for (char c : digits) {
        int digit;
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = c - '0';
        else if (hex && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return false;
        code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        if (code > kLastCodePoint)
            return false;
    }
    // A NUL cannot stand in a file name, nor can half of a surrogate pair.
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
        return false;
    AppendUtf8(code, out);
    return true;
}

bool DecodeEntity(std::string_view name, std::string* out)
{
    if (!name.empty() && name[0] == '#')
        return DecodeNumericEntity(name, out);
    for (const auto& [entity, character] : kNamedEntities) {
        if (name == entity) {
            out->push_back(character);
            return true;
        }
    }
    return false;
}

// The value of attribute `wanted` in the attribute text of one element
// (what stands between the element's name and its closing '>').
bool FindAttribute(std::string_view attributes, std::string_view wanted, std::string_view* value, bool* found)
{
    *found = false;
    size_t at = 0;
    while (at < attributes.size()) {
        while (at < attributes.size() && (IsSpace(attributes[at]) || attributes[at] == '/'))
            ++at;
        if (at == attributes.size())
            break;
        size_t nameEnd = at;
        while (nameEnd < attributes.size() && !IsSpace(attributes[nameEnd]) && attributes[nameEnd] != '=')
            ++nameEnd;
        std::string_view name = attributes.substr(at, nameEnd - at);
        at = nameEnd;
        while (at < attributes.size() && IsSpace(attributes[at]))
            ++at;
        if (at == attributes.size() || attributes[at] != '=')
            return false;
        ++at;
        while (at < attributes.size() && IsSpace(attributes[at]))
            ++at;
        if (at == attributes.size() || (attributes[at] != '"' && attributes[at] != '\''))
            return false;
        char quote = attributes[at++];
        size_t close = attributes.find(quote, at);
        if (close == std::string_view::npos)
            return false;
        if (name == wanted) {
            *value = attributes.substr(at, close - at);
            *found = true;
        }
        at = close + 1;
    }
    return true;
}

// The end of the tag that starts at `at` ('>' outside quotes), or npos.
size_t TagEnd(std::string_view xml, size_t at)
{
    char quote = 0;
    for (; at < xml.size(); ++at) {
        char c = xml[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return at;
        }
    }
    return std::string_view::npos;
}

} // namespace

bool DecodeXmlText(std::string_view text, std::string* out, std::string* error)
{
    out->clear();
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '&') {
            out->push_back(text[at]);
            continue;
        }
        size_t end = text.find(';', at);
        std::string_view name = end == std::string_view::npos ? text.substr(at + 1) : text.substr(at + 1, end - at - 1);
        if (end == std::string_view::npos || !DecodeEntity(name, out)) {
            *error = "unknown entity &" + std::string(name.substr(0, 16)) + "; in \"" + std::string(text) + "\"";
            return false;
        }
        at = end;
    }
    return true;
}

bool ReadVobFiles(std::string_view xml, std::vector<std::string>* files, std::string* error)
{
    files->clear();
    size_t at = 0;
    while ((at = xml.find('<', at)) != std::string_view::npos) {
        if (xml.substr(at, 4) == "<!--") {
            size_t close = xml.find("-->", at + 4);
            if (close == std::string_view::npos)
                break;
            at = close + 3;
            continue;
        }
        size_t end = TagEnd(xml, at);
        if (end == std::string_view::npos) {
            *error = "an element is not closed";
            return false;
        }
        std::string_view tag = xml.substr(at + 1, end - at - 1);
        at = end + 1;
        if (tag.substr(0, 3) != "vob" || (tag.size() > 3 && !IsSpace(tag[3]) && tag[3] != '/'))
            continue;
        std::string_view value;
        bool found = false;
        if (!FindAttribute(tag.substr(3), "file", &value, &found)) {
            *error = "a <vob> element's attributes cannot be read: <" + std::string(tag) + ">";
            return false;
        }
        if (!found) {
            *error = "a <vob> element names no file";
            return false;
        }
        std::string file;
        if (!DecodeXmlText(value, &file, error))
            return false;
        files->push_back(file);
    }
    return true;
}
