#include "AuthoringKit.h"

#include "app/ConversionSettings.h"
#include "convert/AuthoringText.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

const char* const kXmlHead = "<dvdauthor>\r\n"
                             "\t<vmgm />\r\n"
                             "\t\t<titleset>\r\n"
                             "\t\t\t<titles>\r\n"
                             "            <pgc>\r\n";
const char* const kXmlTail = "            </pgc>\r\n"
                             "\t\t\t</titles>\r\n"
                             "\t\t</titleset>\r\n"
                             "</dvdauthor>\r\n";

std::string VobLine(const std::string& file)
{
    return "            <vob file=\"" + file + "\" />\r\n";
}

std::string PrepareLines(const std::string& out, const std::string& program)
{
    return "mkdir -p -- '" + out + "kzxtmpd001' || exit 1\n"
        "find '" + out + "kzxtmpd001' ! -type d -delete || exit 1\n"
        "'" + program + "ar.exe' -o '" + out + "kzxtmpd001' -x '" + out + "kzxtmpf001.xml'\n";
}

struct Authoring {
    AuthoringRequest request;
    RecordingView view;
    AuthoringPaths paths;
    std::vector<std::string> files;

    Authoring(int task, const std::string& out, const std::vector<std::string>& list)
    {
        request = {task, out, "/opt/kandrix/", list};
        files = list;
        view.list = list;
    }
    bool Write() { return WriteAuthoringFiles(request, view, paths, files); }
};

} // namespace

TEST(AuthoringFilesTest, VideoToDvdNamesTheConvertedFilesInOrder)
{
    TempDir dir;
    const std::string out = dir.Folder();
    Authoring run(CT_VIDEO2DVD, out, {out + "vre1.tmp.mpg", out + "vre3.tmp.mpg", out + "vre2.tmp.mpg"});
    ASSERT_TRUE(run.Write());

    EXPECT_EQ(run.paths.xml, out + "kzxtmpf001.xml");
    EXPECT_EQ(run.paths.folder, out + "kzxtmpd001");
    EXPECT_EQ(run.paths.batch, out + "kzxtmpfb001.bat");
    EXPECT_EQ(ReadFile(run.paths.batch), PrepareLines(out, "/opt/kandrix/"));
    EXPECT_EQ(ReadFile(run.paths.xml), kXmlHead + VobLine(out + "vre1.tmp.mpg") + VobLine(out + "vre3.tmp.mpg")
                  + VobLine(out + "vre2.tmp.mpg") + kXmlTail);
    EXPECT_EQ(run.files, run.request.files);
    EXPECT_EQ(run.view.list, run.request.files);
    EXPECT_EQ(run.view.log, (std::vector<std::string> {"Start DVD Author...", "Start DVD Author..."}));
    EXPECT_EQ(run.view.status, "Start DVD Author...");
    EXPECT_TRUE(run.view.boxes.empty());
}

TEST(AuthoringFilesTest, MpegToDvdCopiesEachSourceToATemporaryName)
{
    TempDir dir;
    const std::string out = dir.Folder();
    const std::string first = dir.Write("first.mpg", "one");
    const std::string second = dir.Write("second.mpg", "two");
    Authoring run(CT_MPG2DVD, out, {first, second});
    ASSERT_TRUE(run.Write());

    ASSERT_EQ(run.files.size(), 2u);
    for (const std::string& copy : run.files) {
        EXPECT_EQ(copy.rfind(out + "vre", 0), 0u) << copy;
        EXPECT_TRUE(std::filesystem::is_regular_file(copy)) << copy;
        EXPECT_EQ(std::filesystem::file_size(copy), 0u) << "the placeholder only, until the batch runs";
    }
    EXPECT_NE(run.files[0], run.files[1]);
    EXPECT_EQ(run.view.list, run.files);
    EXPECT_EQ(ReadFile(run.paths.batch),
              "cp -f -- '" + first + "' '" + run.files[0] + "' || exit 1\n"
                  "cp -f -- '" + second + "' '" + run.files[1] + "' || exit 1\n"
                  + PrepareLines(out, "/opt/kandrix/"));
    EXPECT_EQ(ReadFile(run.paths.xml), kXmlHead + VobLine(run.files[0]) + VobLine(run.files[1]) + kXmlTail);
    EXPECT_EQ(ReadFile(first), "one");
    EXPECT_EQ(ReadFile(second), "two");
}

TEST(AuthoringFilesTest, XmlAttributesCannotBreakOutOfTheirQuotes)
{
    EXPECT_EQ(XmlAttributeValue("line\none\rtab\t"), "line&#10;one&#13;tab&#9;");

    TempDir dir;
    const std::string out = dir.Folder();
    Authoring run(CT_VIDEO2DVD, out, {"/v/Tom & Jerry <1> \"best\".mpg"});
    ASSERT_TRUE(run.Write());
    const std::string xml = ReadFile(run.paths.xml);
    EXPECT_NE(xml.find(VobLine("/v/Tom &amp; Jerry &lt;1> &quot;best&quot;.mpg")), std::string::npos) << xml;
    for (std::string::size_type at = xml.find('\n'); at != std::string::npos; at = xml.find('\n', at + 1))
        EXPECT_EQ(xml[at - 1], '\r') << "at " << at;
}

TEST(AuthoringFilesTest, ASecondRunReplacesBothFiles)
{
    TempDir dir;
    const std::string out = dir.Folder();
    Authoring longer(CT_VIDEO2DVD, out, {out + "a.mpg", out + "b.mpg", out + "c.mpg"});
    ASSERT_TRUE(longer.Write());
    Authoring shorter(CT_VIDEO2DVD, out, {out + "d.mpg"});
    ASSERT_TRUE(shorter.Write());
    EXPECT_EQ(ReadFile(shorter.paths.xml), kXmlHead + VobLine(out + "d.mpg") + kXmlTail);
    EXPECT_EQ(ReadFile(shorter.paths.batch), PrepareLines(out, "/opt/kandrix/"));
}

TEST(AuthoringFilesTest, UnwritableFilesAreReportedAndStopTheRun)
{
    // A folder in the file's place cannot be opened for writing, not even by root.
    TempDir dir;
    const std::string out = dir.Folder();
    const std::string source = dir.Write("clip.mpg", "x");
    std::filesystem::create_directory(out + "kzxtmpfb001.bat");
    Authoring batchless(CT_MPG2DVD, out, {source});
    EXPECT_FALSE(batchless.Write());
    EXPECT_EQ(batchless.view.boxes, std::vector<std::string> {"Write .bat file error! "});
    EXPECT_EQ(batchless.files, std::vector<std::string> {source}) << "no copy was planned";
    EXPECT_FALSE(std::filesystem::exists(out + "kzxtmpf001.xml"));
    std::filesystem::remove(out + "kzxtmpfb001.bat");

    std::filesystem::create_directory(out + "kzxtmpf001.xml");
    Authoring xmlless(CT_VIDEO2DVD, out, {source});
    EXPECT_FALSE(xmlless.Write());
    EXPECT_EQ(xmlless.view.boxes, std::vector<std::string> {"Write xml file error! "});
    EXPECT_NE(xmlless.view.LogText().find(out + "kzxtmpf001.xml"), std::string::npos) << xmlless.view.LogText();
}
