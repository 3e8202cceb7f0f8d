#include "ImageProbe.h"

#include "media/MediaKit.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/dvd_udf.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

uint32_t Be32(const std::string& bytes, size_t at)
{
    if (at + 4 > bytes.size())
        return 0;
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint8_t(bytes[at + 3]);
}

int64_t Sectors(int64_t bytes)
{
    return (bytes + 2047) / 2048;
}

std::string SetName(int set, int part, const char* extension)
{
    char name[32];
    snprintf(name, sizeof name, "VTS_%02d_%d.%s", set, part, extension);
    return name;
}

// Expected start sectors relative to VIDEO_TS.IFO, from the IFO fields alone.
std::map<std::string, int64_t> ExpectedSectors(const std::string& videoTs)
{
    std::map<std::string, int64_t> expected;
    std::string vmg = ReadWholeFile(videoTs + "VIDEO_TS.IFO");
    expected["VIDEO_TS.IFO"] = 0;
    if (fs::exists(videoTs + "VIDEO_TS.VOB"))
        expected["VIDEO_TS.VOB"] = Be32(vmg, 0xC0);
    expected["VIDEO_TS.BUP"] = int64_t(Be32(vmg, 0x0C)) + 1 - Sectors(fs::file_size(videoTs + "VIDEO_TS.BUP"));
    int sets = (uint8_t(vmg[0x3E]) << 8) | uint8_t(vmg[0x3F]);
    size_t table = size_t(Be32(vmg, 0xC4)) * 2048;
    int titles = (uint8_t(vmg[table]) << 8) | uint8_t(vmg[table + 1]);
    std::map<int, int64_t> setStart;
    for (int i = 0; i < titles; ++i)
        setStart[uint8_t(vmg[table + 8 + i * 12 + 6])] = Be32(vmg, table + 8 + i * 12 + 8);
    for (int set = 1; set <= sets; ++set) {
        int64_t start = setStart[set];
        std::string vts = ReadWholeFile(videoTs + SetName(set, 0, "IFO"));
        expected[SetName(set, 0, "IFO")] = start;
        if (fs::exists(videoTs + SetName(set, 0, "VOB")))
            expected[SetName(set, 0, "VOB")] = start + Be32(vts, 0xC0);
        int64_t sector = start + Be32(vts, 0xC4);
        for (int part = 1; part <= 9 && fs::exists(videoTs + SetName(set, part, "VOB")); ++part) {
            expected[SetName(set, part, "VOB")] = sector;
            sector += Sectors(fs::file_size(videoTs + SetName(set, part, "VOB")));
        }
        expected[SetName(set, 0, "BUP")] =
            start + Be32(vts, 0x0C) + 1 - Sectors(fs::file_size(videoTs + SetName(set, 0, "BUP")));
    }
    return expected;
}

} // namespace

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

ImageListing ListIsoSide(const std::string& image, std::string* log)
{
    ProgramResult result = RunProgram({"isoinfo", "-l", "-i", image});
    *log = result.output;
    // ----------   0    0    0           12288 Dec  8 2026 [    282 00]  VIDEO_TS.IFO;1
    static const std::regex line(R"(^-\S*\s+\d+\s+\d+\s+\d+\s+(\d+)\s.*\[\s*(\d+)\s+\d+\]\s+(\S+);1\s*$)");
    ImageListing listing;
    bool inVideoTs = false;
    std::istringstream lines(result.output);
    for (std::string text; std::getline(lines, text);) {
        if (text.rfind("Directory listing of ", 0) == 0)
            inVideoTs = text.find("/VIDEO_TS/") != std::string::npos;
        std::smatch match;
        if (inVideoTs && std::regex_match(text, match, line))
            listing[match[3]] = {std::stoll(match[2]), std::stoll(match[1])};
    }
    return listing;
}

ImageListing ListUdfSide(const std::string& image)
{
    ImageListing listing;
    dvd_reader_t* dvd = DVDOpen(image.c_str());
    if (dvd == nullptr)
        return listing;
    std::vector<std::string> names = {"VIDEO_TS.IFO", "VIDEO_TS.VOB", "VIDEO_TS.BUP"};
    for (int set = 1; set <= 99; ++set)
        for (const char* extension : {"IFO", "BUP"})
            names.push_back(SetName(set, 0, extension));
    for (int set = 1; set <= 99; ++set)
        for (int part = 0; part <= 9; ++part)
            names.push_back(SetName(set, part, "VOB"));
    for (const std::string& name : names) {
        uint32_t size = 0;
        uint32_t sector = UDFFindFile(dvd, ("/VIDEO_TS/" + name).c_str(), &size);
        if (sector != 0)
            listing[name] = {sector, size};
    }
    DVDClose(dvd);
    return listing;
}

std::vector<std::string> CheckIfoPlacement(const std::string& videoTs, const ImageListing& listing)
{
    std::vector<std::string> faults;
    auto ifo = listing.find("VIDEO_TS.IFO");
    if (ifo == listing.end())
        return {"VIDEO_TS.IFO is not in the image"};
    std::map<std::string, int64_t> expected = ExpectedSectors(videoTs);
    for (const auto& [name, relative] : expected) {
        auto found = listing.find(name);
        if (found == listing.end()) {
            faults.push_back(name + " is not in the image");
            continue;
        }
        int64_t want = ifo->second.sector + relative;
        if (found->second.sector != want)
            faults.push_back(name + " starts at sector " + std::to_string(found->second.sector) + ", its IFO says " +
                             std::to_string(want));
        int64_t size = static_cast<int64_t>(fs::file_size(videoTs + name));
        if (found->second.size != size)
            faults.push_back(name + " has " + std::to_string(found->second.size) + " bytes in the image, " +
                             std::to_string(size) + " in the folder");
    }
    if (listing.size() != expected.size())
        faults.push_back("the image lists " + std::to_string(listing.size()) + " files, the IFOs " +
                         std::to_string(expected.size()));
    return faults;
}

std::vector<std::string> CheckExtentBytes(const std::string& image, const std::string& videoTs,
                                          const ImageListing& listing)
{
    std::vector<std::string> faults;
    std::ifstream in(image, std::ios::binary);
    for (const auto& [name, extent] : listing) {
        std::string original = ReadWholeFile(videoTs + name);
        std::string copy(original.size(), '\0');
        in.seekg(extent.sector * 2048);
        in.read(copy.data(), static_cast<std::streamsize>(copy.size()));
        if (!in || copy != original)
            faults.push_back(name + ": the bytes at its extent differ from the file");
        in.clear();
    }
    return faults;
}
