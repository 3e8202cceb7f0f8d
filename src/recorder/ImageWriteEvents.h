#pragma once
// What every write of a disc image reports at its start and its end,
// whichever way the bytes go: to a drive through libburn, or straight into
// an image file.

#include "recorder/LibburnMessages.h"

#include <cstdint>

class ImageStream;
struct WriteEvents;

enum class WriteSpeedTable { Cd, Dvd };

// Checks that the image's size can be written, and says so in the analysis
// events; a failure naming the size when it cannot.
UnitResult AnnounceImage(const ImageStream& stream, const WriteEvents& events);

// How fast bytes went in seconds, as the nominal speed of table nearest to
// it ("8.0x", or "12.3x" past the table's top).
void ReportWriteSpeed(const WriteEvents& events, WriteSpeedTable table, int64_t bytes, double seconds);
