// ar.exe's readers: the vob files of the program's authoring XML and the
// sequence header that tells a title file's TV system.

#include "AuthoringXml.h"
#include "SequenceHeader.h"
#include "MediaKit.h"

#include <gtest/gtest.h>

using Files = std::vector<std::string>;

TEST(AuthoringXml, ReadsTheProgramsXmlWithItsEntities)
{
    std::string xml = "<dvdauthor>\r\n\t<vmgm />\r\n\t\t<titleset>\r\n\t\t\t<titles>\r\n            <pgc>\r\n"
                      "            <vob file=\"/o/vrel_1A.tmp.mpg\" />\r\n"
                      "            <vob file=\"/o/Tom &amp; Jerry &lt;1&gt; &quot;best&quot; it&apos;s $HOME.mpg\" />\r\n"
                      "            </pgc>\r\n\t\t\t</titles>\r\n\t\t</titleset>\r\n</dvdauthor>\r\n";
    Files files;
    std::string error;
    ASSERT_TRUE(ReadVobFiles(xml, &files, &error)) << error;
    EXPECT_EQ(files, (Files{"/o/vrel_1A.tmp.mpg", "/o/Tom & Jerry <1> \"best\" it's $HOME.mpg"}));

    // Other ways a well-formed file may say the same.
    ASSERT_TRUE(ReadVobFiles("<vob chapters='0' file='a&#36;&#x24;&#233;.mpg'/><vobx file=\"no\"/>"
                             "<!-- <vob file=\"commented.mpg\" /> --><vob\r\n file = \"b>c.mpg\"></vob>",
                             &files, &error))
        << error;
    EXPECT_EQ(files, (Files{"a$$\xC3\xA9.mpg", "b>c.mpg"}));

    ASSERT_TRUE(ReadVobFiles("<dvdauthor><vmgm /></dvdauthor>", &files, &error));
    EXPECT_TRUE(files.empty());
}

TEST(AuthoringXml, RefusesWhatItCannotReadSafely)
{
    Files files;
    for (const char* broken : {"<vob />", "<vob file=\"a &foo; b\" />", "<vob file=\"a & b\" />",
                               "<vob file=\"&#0;\" />", "<vob file=\"&#xD800;\" />", "<vob file=\"&#;\" />",
                               "<vob file=\"open />", "<vob file=unquoted />"}) {
        std::string error;
        EXPECT_FALSE(ReadVobFiles(broken, &files, &error)) << broken;
        EXPECT_FALSE(error.empty()) << broken;
    }
}

namespace {

// A sequence header of width x height at a frame rate code, aspect 4:3.
std::string HeaderBytes(int width, int height, int frameRateCode)
{
    return std::string("\x00\x00\x01\xB3", 4) + static_cast<char>(width >> 4) +
           static_cast<char>(((width & 0x0F) << 4) | (height >> 8)) + static_cast<char>(height & 0xFF) +
           static_cast<char>(0x20 | frameRateCode) + std::string("\x00\x00\x00\x00", 4);
}

} // namespace

TEST(SequenceHeader, FindsTheFirstPlausibleHeader)
{
    // A start code whose fields make no sense (frame rate 0) is payload.
    std::string data = std::string(100, '\x55') + HeaderBytes(720, 576, 0) + HeaderBytes(720, 480, 4);
    SequenceHeader header;
    ASSERT_TRUE(FindSequenceHeader(reinterpret_cast<const unsigned char*>(data.data()), data.size(), &header));
    EXPECT_EQ(header.width, 720);
    EXPECT_EQ(header.height, 480);
    EXPECT_EQ(header.aspectCode, 2);
    EXPECT_EQ(header.frameRateCode, 4);

    std::string cut = HeaderBytes(720, 576, 3).substr(0, 7);
    EXPECT_FALSE(FindSequenceHeader(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(), &header));

    EXPECT_EQ(TvSystemOf(3), TvSystem::Pal);
    EXPECT_EQ(TvSystemOf(4), TvSystem::Ntsc);
    EXPECT_EQ(TvSystemOf(5), TvSystem::Ntsc);
    EXPECT_EQ(TvSystemOf(1), TvSystem::Ntsc);
    EXPECT_EQ(TvSystemOf(6), TvSystem::Unknown);
    EXPECT_EQ(TvSystemOf(0), TvSystem::Unknown);
}

TEST(SequenceHeader, ReadsAHeaderAcrossTheReadersChunksAndNamesWhatIsWrong)
{
    std::string folder = MakeScratchFolder();
    ASSERT_FALSE(folder.empty());
    SequenceHeader header;
    std::string error;
    for (size_t offset : {0u, 65531u, 65536u, 300000u}) {
        ASSERT_TRUE(WriteFile(folder + "title.mpg", std::string(offset, '\0') + HeaderBytes(720, 576, 3)));
        ASSERT_TRUE(ReadSequenceHeader(folder + "title.mpg", &header, &error)) << offset << ": " << error;
        EXPECT_EQ(header.frameRateCode, 3) << offset;
        EXPECT_EQ(header.height, 576) << offset;
    }

    ASSERT_TRUE(WriteFile(folder + "text.mpg", "no video here"));
    EXPECT_FALSE(ReadSequenceHeader(folder + "text.mpg", &header, &error));
    EXPECT_EQ(error, "no MPEG video sequence header");
    EXPECT_FALSE(ReadSequenceHeader(folder + "missing.mpg", &header, &error));
    EXPECT_EQ(error, "No such file or directory");
    RemoveScratchFolder(folder);
}
