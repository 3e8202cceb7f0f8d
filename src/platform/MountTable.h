#pragma once
// Where a drive's disc is mounted, from the kernel's mount table.

#include <string>
#include <vector>

struct MountEntry {
    std::string device;
    std::string mountPoint;
};

// The mount table's lines, with their escapes (\040 for a blank...) resolved.
// A line reads: "/dev/sr0 /media/ann/MY\040DISC udf ro,nosuid 0 0"
std::vector<MountEntry> ParseMountTable(const std::string& text);

// The folder that shows what the drive holds: the first mount point of its
// device when the disc is mounted, else the folder holding the device itself.
// Device names are compared after following symbolic links (/dev/cdrom).
std::string DriveRootFolder(const std::string& devicePath, const std::string& mountTable);

// The same, from this process's mount table (/proc/self/mounts).
std::string DriveRootFolder(const std::string& devicePath);
