#include "recorder/dvdvideo/VolumeLabel.h"

namespace VolumeLabel {

namespace {

// Length of the UTF-8 sequence starting with lead, 0 when lead cannot start one.
int SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

std::u32string Decode(const std::string& utf8)
{
    std::u32string text;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        int length = SequenceLength(lead);
        bool valid = length > 0 && i + length <= utf8.size();
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; valid && k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            text.push_back(lead);
            ++i;
            continue;
        }
        text.push_back(code);
        i += length;
    }
    return text;
}

std::string IsoIdentifier(const std::string& label)
{
    std::string identifier;
    for (char32_t c : Decode(label)) {
        if (identifier.size() == kIsoLength)
            break;
        if (c >= 'a' && c <= 'z')
            c = c - 'a' + 'A';
        bool dCharacter = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        identifier.push_back(dCharacter ? static_cast<char>(c) : '_');
    }
    return identifier;
}

std::u32string UdfIdentifier(const std::string& label, size_t maxLength)
{
    std::u32string text = Decode(label);
    if (text.size() > maxLength)
        text.resize(maxLength);
    return text;
}

} // namespace VolumeLabel
