#pragma once
// A sequential binary archive in the settings file's format: 32-bit
// little-endian integers and length-prefixed texts. A loading archive stops
// at the first damage (file ended, length beyond the file) and stays failed,
// so every later read fails too and leaves its target untouched.

#include <cstdint>
#include <string>
#include <vector>

class StateArchive {
public:
    // A storing archive, filled by the Write operations.
    StateArchive();
    // A loading archive over the bytes of a file.
    explicit StateArchive(std::vector<std::uint8_t> bytes);

    bool IsLoading() const { return loading_; }
    bool IsStoring() const { return !loading_; }
    bool Failed() const { return failed_; }

    void WriteInt(std::int32_t value);
    void WriteText(const std::string& text);

    bool ReadInt(std::int32_t& value);
    bool ReadText(std::string& text);

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    void WriteLE(std::uint32_t value, int byteCount);
    bool ReadLE(std::uint32_t& value, int byteCount);
    bool ReadTextLength(std::uint32_t& length);

    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool loading_;
    bool failed_ = false;
};

// Whole-file helpers for the archive's bytes. Reading fails when the file
// is not a regular file of at most 1 MB (a FIFO, a device or a folder of that
// name is absent, never waited on). A new file gets the user's usual
// permissions (0666 less the umask), a replaced one keeps its own. Writing fails, changing nothing, when the file cannot be
// created, cannot be written whole, or is marked read-only (no write
// permission bit at all), which holds even for a user whom the system would
// let write it.
bool ReadStateFile(const std::string& path, std::vector<std::uint8_t>& bytes);
bool WriteStateFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
