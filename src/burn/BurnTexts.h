#pragma once
// What a burn operation of CDevice prints, and how a failed step reads: shared
// by the files that hold the burns.

#include "burn/CDevice.h"

struct CDevice::BurnTexts {
    // The operation's name as its trace lines print it.
    const char* name;
    // The same in the speed step's trace and in the failure trace of the
    // buffer-underrun protection query, where it is spelt differently.
    const char* speedName;
    const char* bupName;
    const char* speedFailure;
    const char* writeCall;
    const char* complete;
    // DVD-Video also announces the unit test and the protection query.
    bool announcesChecks;
};

// The library's words when it gave any, else what the step itself knows.
inline StepResult BurnFailed(const char* libraryText, const char* otherwise)
{
    return StepResult::Failed("Burn", *libraryText != '\0' ? libraryText : otherwise);
}

inline const char* YesNo(uint8_t flag)
{
    return flag != 0 ? "Yes" : "No";
}
