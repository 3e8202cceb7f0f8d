#include "recorder/dvdvideo/DvdVideoLayout.h"

#include "recorder/dvdvideo/DiscBytes.h"
#include "recorder/dvdvideo/IfoFields.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/stat.h>

using DiscBytes::SectorsFor;

namespace {

// A file the image cannot describe with one UDF extent (30-bit length, whole
// sectors). DVD-Video files stay at or below 1 GiB anyway.
constexpr int64_t kMaxFileSize = 0x3FFFF800;
// A double-layer DVD; IFO pointers that spread the files further are corrupt.
constexpr int64_t kMaxSectors = 4173824;

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string SetFileName(int titleSet, int part, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "VTS_%02d_%d.%s", titleSet, part, extension);
    return name;
}

class Planner {
public:
    Planner(const std::string& folder, DvdVideoLayout* layout, std::string* error)
        : folder_(folder), layout_(layout), error_(error)
    {
    }

    bool Run()
    {
        *layout_ = DvdVideoLayout();
        VmgFields manager;
        if (!List() || !Require("VIDEO_TS.IFO") ||
            !ReadVmgFields(PathOf("VIDEO_TS.IFO"), PathOf("VIDEO_TS.IFO"), &manager, error_) || !PlaceManager(manager))
            return false;
        for (int set = 1; set <= manager.titleSetCount; ++set) {
            auto start = manager.titleSetSectors.find(set);
            int64_t sector = start != manager.titleSetSectors.end() ? start->second : layout_->sectors;
            if (!PlaceTitleSet(set, sector))
                return false;
        }
        return true;
    }

private:
    bool Fail(const std::string& text)
    {
        *error_ = text;
        return false;
    }

    // The files by their upper-case names: trees copied from FAT discs may
    // have come out in lower case.
    bool List()
    {
        std::error_code failure;
        std::filesystem::directory_iterator entries(folder_, failure);
        if (failure)
            return Fail(folder_ + ": cannot be read: " + failure.message());
        for (const auto& entry : entries) {
            std::string name = Upper(entry.path().filename().string());
            if (!paths_.emplace(name, entry.path().string()).second)
                return Fail(folder_ + ": holds two files named " + name + " apart from case");
        }
        return true;
    }

    bool Has(const std::string& name) const { return paths_.count(name) != 0; }

    std::string PathOf(const std::string& name) const
    {
        auto found = paths_.find(name);
        return found != paths_.end() ? found->second : (std::filesystem::path(folder_) / name).string();
    }

    bool Require(const std::string& name)
    {
        return Has(name) || Fail(folder_ + ": no " + name + " in the folder");
    }

    bool Stat(const std::string& name, PlacedFile* file)
    {
        struct stat info {};
        const std::string path = PathOf(name);
        if (stat(path.c_str(), &info) != 0)
            return Fail(path + ": cannot be read: " + std::strerror(errno));
        if (!S_ISREG(info.st_mode))
            return Fail(path + ": not a regular file");
        if (info.st_size > kMaxFileSize)
            return Fail(path + ": " + std::to_string(info.st_size) + " bytes, more than a DVD-Video file may hold");
        file->name = name;
        file->path = path;
        file->size = info.st_size;
        file->modified = info.st_mtime;
        return true;
    }

    // Appends a file at setStart + offset, which must not reach into the file
    // before it nor past setEnd.
    bool Place(PlacedFile file, int64_t setStart, int64_t offset, int64_t setEnd, const std::string& ifoName)
    {
        file.sector = setStart + offset;
        int64_t end = file.sector + SectorsFor(file.size);
        if (!layout_->files.empty() && file.sector < layout_->sectors) {
            const PlacedFile& before = layout_->files.back();
            return Fail(PathOf(ifoName) + ": places " + file.name + " at sector " + std::to_string(file.sector) +
                        ", before the end of " + before.name + " (sectors " + std::to_string(before.sector) + " to " +
                        std::to_string(layout_->sectors - 1) + "): they would overlap");
        }
        if (end > setEnd)
            return Fail(PathOf(ifoName) + ": places " + file.name + " (" + std::to_string(SectorsFor(file.size)) +
                        " sectors) at sector " + std::to_string(file.sector) + ", past the end of its set at sector " +
                        std::to_string(setEnd));
        layout_->files.push_back(std::move(file));
        layout_->sectors = end;
        return true;
    }

    // emptyAt: where a title set's menus that hold commands only (no video)
    // start; dvdauthor points their sector at the title VOBs and writes no
    // menu VOB.
    bool PlaceMenuVob(const std::string& name, uint32_t sector, int64_t setStart, int64_t setEnd,
                      const std::string& ifoName, uint32_t emptyAt = 0)
    {
        if (!Has(name)) {
            if (sector == 0 || sector == emptyAt)
                return true;
            return Fail(folder_ + ": no " + name + ", which " + ifoName + " places at sector " + std::to_string(sector));
        }
        if (sector == 0)
            return Fail(PathOf(ifoName) + ": gives no sector for " + name);
        PlacedFile file;
        return Stat(name, &file) && Place(file, setStart, sector, setEnd, ifoName);
    }

    // The backup closes its set: its last sector is the set's last. A title
    // set's files follow each other without a gap (dvdauthor pads only the
    // manager), so a set longer than its files names files that are not
    // there, and a player would read zeros for them.
    bool PlaceBackup(const std::string& name, int64_t setStart, int64_t setEnd, const std::string& ifoName,
                     bool gapless)
    {
        PlacedFile file;
        if (!Require(name) || !Stat(name, &file))
            return false;
        int64_t offset = setEnd - setStart - SectorsFor(file.size);
        if (offset < 0)
            return Fail(PathOf(ifoName) + ": its set is too short to hold " + name);
        if (gapless && setStart + offset > layout_->sectors)
            return Fail(PathOf(ifoName) + ": gives its set " + std::to_string(setEnd - setStart) +
                        " sectors, but its files fill only " +
                        std::to_string(layout_->sectors - setStart + SectorsFor(file.size)));
        return Place(file, setStart, offset, setEnd, ifoName);
    }

    bool CheckSetEnd(int64_t setEnd, const std::string& ifoName)
    {
        if (setEnd > kMaxSectors)
            return Fail(PathOf(ifoName) + ": places its files past sector " + std::to_string(setEnd) +
                        ", beyond what a DVD holds");
        return true;
    }

    bool PlaceManager(const VmgFields& fields)
    {
        const std::string ifo = "VIDEO_TS.IFO";
        int64_t end = int64_t(fields.lastSector) + 1;
        PlacedFile file;
        return CheckSetEnd(end, ifo) && Stat(ifo, &file) && Place(file, 0, 0, end, ifo) &&
               PlaceMenuVob("VIDEO_TS.VOB", fields.menuVobSector, 0, end, ifo) &&
               PlaceBackup("VIDEO_TS.BUP", 0, end, ifo, false);
    }

    bool PlaceTitleVobs(int set, const VtsFields& fields, int64_t start, int64_t end, const std::string& ifo)
    {
        std::vector<std::string> names;
        for (int part = 1; part <= 9 && Has(SetFileName(set, part, "VOB")); ++part)
            names.push_back(SetFileName(set, part, "VOB"));
        for (int part = static_cast<int>(names.size()) + 2; part <= 9; ++part)
            if (Has(SetFileName(set, part, "VOB")))
                return Fail(folder_ + ": has " + SetFileName(set, part, "VOB") + " but no " +
                            SetFileName(set, static_cast<int>(names.size()) + 1, "VOB"));
        if (names.empty())
            return Fail(folder_ + ": no " + SetFileName(set, 1, "VOB") + " for " + ifo);
        if (fields.titleVobSector == 0)
            return Fail(PathOf(ifo) + ": gives no sector for its title VOBs");
        int64_t offset = fields.titleVobSector;
        for (size_t i = 0; i < names.size(); ++i) {
            PlacedFile file;
            if (!Stat(names[i], &file))
                return false;
            if (file.size == 0)
                return Fail(file.path + ": empty, so title set " + std::to_string(set) + " has no video");
            // The title VOBs are read as one stream, so a part that does not
            // end on a sector boundary would shift everything after it.
            if (i + 1 < names.size() && file.size % DiscBytes::kSectorSize != 0)
                return Fail(file.path + ": " + std::to_string(file.size) +
                            " bytes, not whole sectors, yet more title VOBs follow it");
            int64_t sectors = SectorsFor(file.size);
            if (!Place(std::move(file), start, offset, end, ifo))
                return false;
            offset += sectors;
        }
        return true;
    }

    bool PlaceTitleSet(int set, int64_t start)
    {
        const std::string ifo = SetFileName(set, 0, "IFO");
        VtsFields fields;
        if (!Require(ifo) || !ReadVtsFields(PathOf(ifo), PathOf(ifo), &fields, error_))
            return false;
        int64_t end = start + int64_t(fields.lastSector) + 1;
        PlacedFile file;
        return CheckSetEnd(end, ifo) && Stat(ifo, &file) && Place(file, start, 0, end, "VIDEO_TS.IFO") &&
               PlaceMenuVob(SetFileName(set, 0, "VOB"), fields.menuVobSector, start, end, ifo,
                            fields.titleVobSector) &&
               PlaceTitleVobs(set, fields, start, end, ifo) &&
               PlaceBackup(SetFileName(set, 0, "BUP"), start, end, ifo, true);
    }

    std::string folder_;
    DvdVideoLayout* layout_;
    std::string* error_;
    std::map<std::string, std::string> paths_;
};

} // namespace

bool PlanDvdVideoLayout(const std::string& folder, DvdVideoLayout* layout, std::string* error)
{
    return Planner(folder, layout, error).Run();
}
