#pragma once
// The encoder front mg.exe speaks the option dialect of the command lines the
// conversion jobs build, which is older than the FFmpeg installed today. This
// turns such an argument list into the one FFmpeg itself is given, and finds
// the output file that mg.exe writes under a temporary name.

#include <string>
#include <vector>

// Arguments after the program name in, FFmpeg's arguments (without its
// program name) out, in the same order. A DVD target also gets the filter
// that gives its picture a display aspect DVD-Video allows.
std::vector<std::string> TranslateEncoderArguments(const std::vector<std::string>& arguments);

// The text of a video bitrate in the old dialect ("160" meant 160 kbit/s)
// as FFmpeg reads it today ("160k"); "" when the text is not such a value.
std::string OldDialectKilobits(const std::string& value);

// The index of the output file in FFmpeg's arguments: the last argument when
// it stands on its own (not an option, not an option's value) and names a
// file rather than a stream ("-", "pipe:", "proto://"); -1 otherwise.
int EncoderOutputIndex(const std::vector<std::string>& arguments);

// Whether the option (a flag such as "-y") is given as an option, not as
// some other option's value.
bool HasEncoderFlag(const std::vector<std::string>& arguments, const std::string& flag);

// The video filter that fits a picture of any shape into a width x height
// DVD frame of display aspect 4:3 or 16:9, whichever wastes less of it,
// with black bars and without stretching, and marks the frame with that
// aspect. Empty when arguments hold no DVD target or already filter video.
std::string DvdAspectFilter(const std::vector<std::string>& arguments);

// A mkstemps() template for the temporary name of output, in the same folder
// and with the same extension last (FFmpeg picks its muxer by it), and the
// length of that extension. shortForm leaves out the output's own stem, for
// names that would grow too long.
struct TemporaryTemplate {
    std::string pattern;
    int suffixLength = 0;
};
TemporaryTemplate TemporaryOutputTemplate(const std::string& output, bool shortForm);

// The arguments without that flag where it is given as an option.
std::vector<std::string> WithoutEncoderFlag(const std::vector<std::string>& arguments, const std::string& flag);
