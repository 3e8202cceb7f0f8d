#include "AuthoringKit.h"

#include "core/ConversionSettings.h"
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

std::string CopyLine(const std::string& source, const std::string& copy)
{
    const std::string names = "'" + source + "' '" + copy + "'";
    return "cp -lf -- " + names + " 2>/dev/null || cp --remove-destination -- " + names + " || exit\n";
}

std::string PrepareLines(const std::string& out, const std::string& program)
{
    return "mkdir -p -- '" + out + "kzxtmpd001' || exit\n"
        "find '" + out + "kzxtmpd001' ! -type d -delete || exit\n"
        "'" + program + "ar.exe' -o '" + out + "kzxtmpd001' -x '" + out + "kzxtmpf001.xml'\n";
}

struct Authoring {
    AuthoringRequest request;
    std::shared_ptr<RunFolder> work;
    RecordingView view;
    AuthoringPaths paths;
    std::vector<std::string> files;

    Authoring(int task, const std::string& out, const std::vector<std::string>& list,
              std::shared_ptr<RunFolder> folder = nullptr)
        : work(folder ? folder : WorkFolderIn(out))
    {
        request = {task, out, "/opt/kandrix/", list};
        files = list;
        view.list = list;
    }
    StepResult Write() { return WriteAuthoringFiles(request, *work, view, paths, files); }
};

} // namespace

TEST(AuthoringFilesTest, VideoToDvdNamesTheConvertedFilesInOrder)
{
    TempDir dir;
    const std::string out = dir.Folder();
    Authoring run(CT_VIDEO2DVD, out, {out + "vre1.tmp.mpg", out + "vre3.tmp.mpg", out + "vre2.tmp.mpg"});
    ASSERT_TRUE(run.Write());

    const std::string work = run.work->Path();
    EXPECT_EQ(work.rfind(out + ".kandrix-run-", 0), 0u) << work;
    EXPECT_EQ(run.paths.xml, work + "kzxtmpf001.xml");
    EXPECT_EQ(run.paths.folder, work + "kzxtmpd001");
    EXPECT_EQ(run.paths.batch, work + "kzxtmpfb001.bat");
    EXPECT_EQ(ReadFile(run.paths.batch), PrepareLines(work, "/opt/kandrix/"));
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
        EXPECT_EQ(copy.rfind(run.work->Path() + "vre", 0), 0u) << copy;
        EXPECT_TRUE(std::filesystem::is_regular_file(copy)) << copy;
        EXPECT_EQ(std::filesystem::file_size(copy), 0u) << "the placeholder only, until the batch runs";
    }
    EXPECT_NE(run.files[0], run.files[1]);
    EXPECT_EQ(run.view.list, run.files);
    EXPECT_EQ(ReadFile(run.paths.batch),
              CopyLine(first, run.files[0]) + CopyLine(second, run.files[1]) + PrepareLines(run.work->Path(), "/opt/kandrix/"));
    EXPECT_EQ(ReadFile(run.paths.xml), kXmlHead + VobLine(run.files[0]) + VobLine(run.files[1]) + kXmlTail);
    EXPECT_EQ(ReadFile(first), "one");
    EXPECT_EQ(ReadFile(second), "two");

    // The tools' words about a copy name the user's file, by path or by name.
    const std::string copyName = run.files[1].substr(run.work->Path().size());
    EXPECT_EQ(WithUserNames("ar.exe: " + run.files[0] + " is NTSC, but " + copyName + " is PAL", run.paths),
              "ar.exe: first.mpg is NTSC, but second.mpg is PAL");
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

// A try again in the same run starts from nothing the first one left, and
// takes the copies it made whole as they are.
TEST(AuthoringFilesTest, ATryAgainReplacesBothFilesAndKeepsWholeCopies)
{
    TempDir dir;
    const std::string out = dir.Folder();
    Authoring longer(CT_VIDEO2DVD, out, {out + "a.mpg", out + "b.mpg", out + "c.mpg"});
    ASSERT_TRUE(longer.Write());
    std::filesystem::create_directories(longer.paths.folder + "/VIDEO_TS");
    Authoring shorter(CT_VIDEO2DVD, out, {out + "d.mpg"}, longer.work);
    ASSERT_TRUE(shorter.Write());
    EXPECT_EQ(ReadFile(shorter.paths.xml), kXmlHead + VobLine(out + "d.mpg") + kXmlTail);
    EXPECT_EQ(ReadFile(shorter.paths.batch), PrepareLines(longer.work->Path(), "/opt/kandrix/"));
    EXPECT_FALSE(std::filesystem::exists(shorter.paths.folder));

    const std::string whole = dir.Write("whole.mpg", "whole");
    const std::string cut = dir.Write("cut.mpg", "cut short");
    Authoring first(CT_MPG2DVD, out, {whole, cut});
    ASSERT_TRUE(first.Write());
    WriteFile(first.files[0], "whole");
    WriteFile(first.files[1], "cut");
    Authoring again(CT_MPG2DVD, out, first.files, first.work);
    ASSERT_TRUE(again.Write());
    EXPECT_EQ(again.files, first.files);
    EXPECT_EQ(ReadFile(again.paths.batch),
              CopyLine(cut, first.files[1]) + PrepareLines(first.work->Path(), "/opt/kandrix/"));
}

TEST(AuthoringFilesTest, AnUnwritableWorkFolderIsReportedAndStopsTheRun)
{
    TempDir dir;
    const std::string source = dir.Write("clip.mpg", "x");
    Authoring batchless(CT_MPG2DVD, dir.Folder(), {source});
    std::filesystem::remove_all(batchless.work->Path());
    const StepResult written = batchless.Write();
    EXPECT_EQ(batchless.view.boxes, std::vector<std::string> {"Write .bat file error! "});
    EXPECT_EQ(batchless.files, std::vector<std::string> {source}) << "no copy was planned";
    EXPECT_EQ(written.Step(), "Authoring");
    EXPECT_NE(written.Reason().find("kzxtmpfb001.bat"), std::string::npos) << written;
}
