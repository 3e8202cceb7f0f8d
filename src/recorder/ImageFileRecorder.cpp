#include "recorder/ImageFileRecorder.h"

#include <iterator>

namespace ImageFileRecorder {

namespace {

// The nominal DVD write speeds in 1000 bytes per second, slowest first.
// A file name holds 255 bytes; room is left for ".iso".
constexpr size_t kMaxNameBytes = 200;

constexpr uint32_t kSpeeds[] = {1385, 2770, 3324, 4155, 5540, 6925, 8310, 11080, 16620, 22160};

} // namespace

DeviceAddress Address()
{
    DeviceAddress address;
    address.port = kPort;
    return address;
}

uint32_t HighestWriteSpeed()
{
    return kSpeeds[std::size(kSpeeds) - 1];
}

uint32_t SpeedInForce(uint32_t requested)
{
    uint32_t inForce = kSpeeds[0];
    for (uint32_t speed : kSpeeds) {
        if (speed <= requested)
            inForce = speed;
    }
    return inForce;
}

} // namespace ImageFileRecorder

namespace ImageFileRecorder {

std::string ImageFileName(const std::string& label)
{
    if (label.empty())
        return "KANDRIX.iso";
    std::string name;
    for (char c : label) {
        const auto u = static_cast<unsigned char>(c);
        name += (c == '/' || u < 0x20 || u == 0x7f) ? '_' : c;
    }
    if (name[0] == '.' || name[0] == '-')
        name[0] = '_';
    // A cut never splits a UTF-8 character.
    if (name.size() > kMaxNameBytes) {
        size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80)
            --cut;
        name.erase(cut);
    }
    return name + ".iso";
}

std::string NumberedImageFileName(const std::string& label, int number)
{
    const std::string name = ImageFileName(label);
    return name.substr(0, name.size() - 4) + " (" + std::to_string(number) + ").iso";
}

bool IsPartFileName(const std::string& name)
{
    const std::string prefix = kPartPrefix;
    const std::string suffix = kPartSuffix;
    // mkstemps puts six characters between them.
    return name.size() == prefix.size() + 6 + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace ImageFileRecorder
