// The digest of a write and the read-back that is compared with it, on
// media that answer in pieces, fail, or end early as a drive may.

#include "recorder/ImageDigest.h"
#include "recorder/ReadBack.h"
#include "recorder/WriteControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string Md5Of(const std::string& text, size_t piece)
{
    ImageDigest digest(0);
    for (size_t at = 0; at < text.size(); at += piece)
        digest.Update(reinterpret_cast<const unsigned char*>(text.data()) + at, std::min(piece, text.size() - at));
    return digest.Hex();
}

// RFC 1321's own examples, fed whole and in pieces that straddle its blocks.
TEST(ImageDigestTest, Md5IsTheStandardOneHoweverTheBytesCome)
{
    const std::pair<std::string, std::string> examples[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, md5] : examples) {
        for (size_t piece : {text.size() + 1, size_t{1}, size_t{7}, size_t{63}, size_t{64}, size_t{65}})
            EXPECT_EQ(Md5Of(text, piece), md5) << text << " in pieces of " << piece;
    }
    EXPECT_EQ(Md5Of(std::string(1000000, 'a'), 4096), "7707d6ae4e027c70eea2a935c2296f21");
}

// A medium made of the written image, with one fault.
class ScriptedMedium final : public ReadBackSource {
public:
    std::vector<unsigned char> bytes;
    int64_t failAt = -1;   // a read reaching this byte fails there
    int64_t mostAtOnce = 0; // a drive that hands over less than asked

    int64_t Read(int64_t offset, unsigned char* buffer, int64_t size) override
    {
        int64_t count = std::min<int64_t>(size, static_cast<int64_t>(bytes.size()) - offset);
        if (mostAtOnce > 0)
            count = std::min(count, mostAtOnce);
        if (failAt >= 0 && offset + count > failAt) {
            if (offset >= failAt)
                return -1;
            count = failAt - offset;
        }
        std::copy_n(bytes.begin() + offset, std::max<int64_t>(count, 0), buffer);
        return std::max<int64_t>(count, 0);
    }
    std::string Error() const override { return "Input/output error"; }
};

TEST(ReadBackTest, TheFirstFaultIsNamedByItsSector)
{
    constexpr int64_t kSectors = 1200; // past one block of the read-back
    std::vector<unsigned char> image(kSectors * 2048);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<unsigned char>(i * 7 + i / 2048);
    ImageDigest written(static_cast<int64_t>(image.size()));
    written.Update(image.data(), image.size());

    struct Row {
        const char* name;
        int64_t flipAt;
        int64_t failAt;
        int64_t mostAtOnce;
        size_t keep;
        std::string failure;
    } rows[] = {
        {"good, in odd pieces", -1, -1, 3000, image.size(), ""},
        {"one byte", 700 * 2048 + 5, -1, 0, image.size(), "the disc differs from the image at sector 700"},
        {"last byte", static_cast<int64_t>(image.size()) - 1, -1, 0, image.size(),
         "the disc differs from the image at sector 1199"},
        {"unreadable", -1, 900 * 2048 + 512, 65536, image.size(), "cannot read back sector 900: Input/output error"},
        {"ends early", -1, -1, 0, 1000 * 2048 + 10, "the disc differs from the image at sector 1000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedMedium medium;
        medium.bytes.assign(image.begin(), image.begin() + static_cast<long>(row.keep));
        if (row.flipAt >= 0)
            medium.bytes[static_cast<size_t>(row.flipAt)] ^= 1;
        medium.failAt = row.failAt;
        medium.mostAtOnce = row.mostAtOnce;
        WriteControl control;
        std::string md5;
        const UnitResult result = VerifyReadBack(medium, written, control, WriteEvents{}, md5);
        EXPECT_EQ(result.text, row.failure);
        EXPECT_EQ(md5, row.failure.empty() ? written.Hex() : "");
    }
}

} // namespace
