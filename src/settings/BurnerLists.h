#pragma once
// The recorder search behind the output page's recorder and speed lists: it
// runs off the UI thread and hands back everything the two lists show, so
// the rows always stand for the records they were built from, and choosing
// another row reads what the search found instead of asking the drive.

#include <memory>
#include <string>
#include <vector>

class CDevice;
class DeviceList;
class RecorderLibrary;

struct BurnerLists {
    // Row i of the recorder list stands for devices[i].
    std::vector<std::shared_ptr<CDevice>> devices;
    std::vector<std::string> rows;
};

// A recorder's row: drive name, product, vendor. The unmatched ")" belongs
// to the text.
std::string RecorderRowText(const CDevice& device);

// Rebuilds list with the recorders library finds, and refreshes every one
// of them: its identity, its disc and the write speeds the disc takes.
BurnerLists SearchBurners(RecorderLibrary& library, DeviceList& list);
