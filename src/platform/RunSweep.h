#pragma once
// The records of runs in the cache folder, and the removal of what dead runs
// left behind. A run is dead when the lock file in its work folder can be
// locked: the kernel lets go of a lock when its holder ends, however it ends.

#include <functional>
#include <string>

// The folder of the records: runs/ in the cache folder, ending in the
// separator; "" without a cache folder.
std::string RunRecordFolder();

// A record's content: the work folder and the output folder.
std::string EncodeRunRecord(const std::string& workFolder, const std::string& outputFolder);
bool DecodeRunRecord(const std::string& text, std::string* workFolder, std::string* outputFolder);

// For each record of a dead run: its work folder is removed, then in its
// output folder every regular file of the user's that isWriterLeftover
// accepts and that no live process holds locked (an image being written),
// then the record. Returns how many dead runs were cleared.
int RemoveDeadRuns(const std::function<bool(const std::string& name)>& isWriterLeftover);
