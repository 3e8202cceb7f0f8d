#pragma once
// The persistent part of ConversionSettings as the main window keeps it in
// Option.dat: fourteen fields, no header, in a fixed order.

#include <string>

class StateArchive;
struct ConversionSettings;

// Writes the fourteen fields into a storing archive.
void StoreOptionRecord(StateArchive& archive, const ConversionSettings& settings);

// Reads the fields from a loading archive, assigning each as soon as it is
// read; at the first damage the rest keep their values. Values outside their
// range fall back to their defaults. Also makes previousTask the restored
// task. Returns false when the record was damaged.
bool LoadOptionRecord(StateArchive& archive, ConversionSettings& settings);

// Whole-file forms. Reading returns false when the file cannot be opened
// (settings untouched); a damaged file still yields what was read before the
// damage. Writing returns false when nothing could be written.
bool ReadOptionFile(const std::string& path, ConversionSettings& settings);
bool WriteOptionFile(const std::string& path, const ConversionSettings& settings);
