#pragma once
// Disc type codes of the recording library, and how a unit's current MMC
// profile maps onto them.

#include <cstdint>

constexpr int DISC_TYPE_UNKNOWN = 0;
constexpr int DISC_TYPE_CDROM = 1;
constexpr int DISC_TYPE_CDR = 2;
constexpr int DISC_TYPE_CDRW = 3;
constexpr int DISC_TYPE_DVDROM = 4;
constexpr int DISC_TYPE_DVDR = 5; // DVD-R and DVD-RW written sequentially
constexpr int DISC_TYPE_DVDRAM = 6;
constexpr int DISC_TYPE_DVDRW_RO = 7; // DVD-RW in restricted overwrite
constexpr int DISC_TYPE_DVDPLUSRW = 8;
constexpr int DISC_TYPE_OVERWRITABLE = 9; // pseudo-media: the image file
constexpr int DISC_TYPE_UNSUPPORTED = 10; // BD and HD DVD
constexpr int DISC_TYPE_DVDPLUSR = 13;
constexpr int DISC_TYPE_NONE = 14; // no disc, or the unit is not ready
constexpr int DISC_TYPE_DVD_DL = 15; // DVD+R DL and DVD-R DL

// The profile libburn reports for a stdio: pseudo-drive.
constexpr int PROFILE_STDIO_FILE = 0xffff;

// The codes sort discs by how they are written, which is all the recorder code
// asks: sequential discs (CD-R/RW, DVD-R/RW sequential, DVD+R, the DLs) are
// blank exactly when their first track is; overwritable ones (DVD-RW
// restricted overwrite, DVD+RW, the image file) are blank when nothing is
// recorded; pressed discs are never written; BD and HD DVD have a code of
// their own so they can be refused by name. DVD+RW DL and anything newer fall
// to 0, which nothing treats as writable.
constexpr int DiscTypeFromProfile(int profile)
{
    switch (profile) {
    case 0x00: return DISC_TYPE_NONE;
    case 0x08: return DISC_TYPE_CDROM;
    case 0x09: return DISC_TYPE_CDR;
    case 0x0a: return DISC_TYPE_CDRW;
    case 0x10: return DISC_TYPE_DVDROM;
    case 0x11:
    case 0x14: return DISC_TYPE_DVDR;
    case 0x12: return DISC_TYPE_DVDRAM;
    case 0x13: return DISC_TYPE_DVDRW_RO;
    case 0x15:
    case 0x16:
    case 0x2b: return DISC_TYPE_DVD_DL;
    case 0x1a: return DISC_TYPE_DVDPLUSRW;
    case 0x1b: return DISC_TYPE_DVDPLUSR;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
    case 0x50:
    case 0x51:
    case 0x52:
    case 0x53:
    case 0x58:
    case 0x5a: return DISC_TYPE_UNSUPPORTED;
    case PROFILE_STDIO_FILE: return DISC_TYPE_OVERWRITABLE;
    default: return DISC_TYPE_UNKNOWN;
    }
}
