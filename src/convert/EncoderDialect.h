#pragma once
// The encoder front mg.exe speaks the option dialect of the command lines the
// conversion jobs build, which is older than the FFmpeg installed today. This
// turns such an argument list into the one FFmpeg itself is given.

#include <string>
#include <vector>

// Arguments after the program name in, FFmpeg's arguments (without its
// program name) out, in the same order.
std::vector<std::string> TranslateEncoderArguments(const std::vector<std::string>& arguments);

// The text of a video bitrate in the old dialect ("160" meant 160 kbit/s)
// as FFmpeg reads it today ("160k"); "" when the text is not such a value.
std::string OldDialectKilobits(const std::string& value);

