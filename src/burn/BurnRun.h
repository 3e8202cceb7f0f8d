#pragma once
// One run of the burn page's worker: authoring the burn list into a VIDEO_TS
// tree, then burning it on the chosen recorder and ejecting when asked.
// Window-free: it gets its data by value and reaches the page through a
// BurnView.

#include "burn/BurnOptions.h"
#include "convert/DvdAuthoring.h"

#include <string>
#include <vector>

class JobControl;

struct BurnRequest {
    AuthoringRequest authoring;
    // Everything but the tree path, which the authoring decides.
    BurnOptions options;
    // What the disc menu calls the burn list's files, when their own names
    // are not the user's (task 0's converted files have temporary names).
    std::vector<std::string> names;
};

struct BurnOutcome {
    // The tree was authored and the burn was tried.
    bool authored = false;
    bool burnt = false;
    // Why the authoring failed, for the status line.
    std::string failure;
    AuthoringPaths paths;
    // The burn list as the authoring left it.
    std::vector<std::string> files;
    // The image written, when the recorder writes image files.
    std::string imagePath;
};

class BurnView : public AuthoringView {
public:
    // The burn proper begins: the page shows its progress and starts its
    // clock.
    virtual void BeginBurnProgress() = 0;
};

BurnOutcome BurnThread(BurnRequest request, BurnView& view, JobControl& control);

// Where the image-file recorder puts the image of a tree and label.
std::string ImagePathFor(const BurnOptions& options);
bool WritesImageFiles(const CDevice& device);
