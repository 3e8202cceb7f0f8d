#pragma once
// How a job asks the user something. The job is given a handler when it
// starts; the page that started it answers through the seam, owning the
// window it shows. Called from the job's thread.

#include "platform/UiSeam.h"

#include <string>

class JobQuestions {
public:
    virtual ~JobQuestions() = default;
    // An empty caption is the program's default caption. Returns the button
    // pressed (IDOK, IDYES, IDNO).
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// Questions shown through the seam in force, owned by owner (none: the
// application's own boxes).
class SeamQuestions final : public JobQuestions {
public:
    explicit SeamQuestions(CDialog* owner = nullptr) : owner_(owner) {}
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override
    {
        return Ui().MessageBox(owner_, text, caption, type);
    }

private:
    CDialog* owner_;
};
