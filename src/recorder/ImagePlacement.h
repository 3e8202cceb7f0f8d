#pragma once
// Where the image-file recorder's image goes in the user's output folder,
// which others may be able to write in (/tmp): the part file it is written
// to, and the name it takes once complete. Every step works on the folder's
// descriptor and never follows a link that someone else may have put there.

#include <string>

// A part file of the image: open for writing and holding a shared lock from
// before its name is seen until the descriptor is closed, so that a start
// of the program that clears dead runs' part files leaves it alone.
struct PartFile {
    int fd = -1;
    std::string name;
};

// A new part file in the folder; false with the cause in *error.
bool CreatePartFile(int folderFd, PartFile* part, std::string* error);

// Gives the part file the image's name for label. That name is taken when it
// is free, or replaces an earlier image of the user's that no run holds;
// taken by anything else (another user's file, a link, a FIFO, a folder, an
// image another run still holds) it is left alone and the first free
// "label (n).iso" is taken, with *note saying why. False with the cause in
// *error when no name could be given.
bool PlaceImage(int folderFd, const std::string& folder, const PartFile& part, const std::string& label,
                std::string* finalName, std::string* note, std::string* error);
