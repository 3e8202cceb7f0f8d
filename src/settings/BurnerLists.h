#pragma once
// The recorder search behind the output page's recorder and speed lists: it
// runs off the UI thread and hands back everything the two lists show, so
// the rows always stand for the records they were built from.

#include "recorder/SpeedTables.h"

#include <memory>
#include <string>
#include <vector>

class CDevice;

struct BurnerLists {
    // Row i of the recorder list stands for devices[i].
    std::vector<std::shared_ptr<CDevice>> devices;
    std::vector<std::string> rows;
    // The row whose write speeds were read; -1 without rows.
    int speedRow = -1;
    SpeedList speeds;
};

// A recorder's row: drive name, product, vendor. The unmatched ")" belongs
// to the text.
std::string RecorderRowText(const CDevice& device);

// Rebuilds the process-wide recorder list, refreshes every recorder and reads
// the write speeds of wantedRow, or of row 0 when wantedRow is no row.
BurnerLists SearchBurners(int wantedRow);
