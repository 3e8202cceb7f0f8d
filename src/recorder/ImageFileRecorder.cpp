#include "recorder/ImageFileRecorder.h"

#include <iterator>

namespace ImageFileRecorder {

namespace {

// The nominal DVD write speeds in 1000 bytes per second, slowest first.
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
