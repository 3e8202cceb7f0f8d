#pragma once
// One run of the burn page's worker: authoring the burn list into a VIDEO_TS
// tree, then burning it on the chosen recorder and ejecting when asked.
// Window-free: it gets its data by value and reaches the page through a
// BurnView.

#include "burn/BurnOptions.h"
#include "convert/DvdAuthoring.h"

#include <memory>
#include <string>
#include <vector>

class JobControl;
class RunFolder;

struct BurnRequest {
    AuthoringRequest authoring;
    // Everything but the tree path, which the authoring decides.
    BurnOptions options;
    // The run's work folder: the conversion's for task 0, an earlier try's
    // for task 1; none, and the burn makes one.
    std::shared_ptr<RunFolder> workFolder;
    // The batch and the XML go once the burn has ended.
    bool deleteTempAfterBurn = false;
};

struct BurnOutcome {
    // The tree was authored and the burn was tried.
    bool authored = false;
    // The authoring's failure, or the burn's outcome.
    StepResult result = StepResult::Done();
    // Tried after the burn when asked for, whatever the burn came to.
    StepResult eject = StepResult::Done();
    AuthoringPaths paths;
    // The burn list as the authoring left it.
    std::vector<std::string> files;
    // The image written, when the recorder writes image files.
    std::string imagePath;
    // Holds the run's files, and the image while the run lasts.
    std::shared_ptr<RunFolder> workFolder;
};

class BurnView : public AuthoringView {
public:
    // The burn proper begins: the page shows its progress and starts its
    // clock.
    virtual void BeginBurnProgress() = 0;
};

BurnOutcome BurnThread(BurnRequest request, BurnView& view, JobControl& control);

bool WritesImageFiles(const CDevice& device);
