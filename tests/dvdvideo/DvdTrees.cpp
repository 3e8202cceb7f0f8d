#include "DvdTrees.h"

#include "media/MediaKit.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string CacheFolder()
{
    return KANDRIX_TEST_CACHE;
}

bool MakeMpeg(const std::string& path, const char* target, int seconds, int frequency, std::string* log)
{
    const bool pal = std::string(target) == "pal-dvd";
    std::string length = std::to_string(seconds);
    std::string video = std::string("testsrc=size=") + (pal ? "720x576:rate=25" : "720x480:rate=30000/1001") +
                        ":duration=" + length;
    ProgramResult result = RunProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi",
                                       "-i", video, "-f", "lavfi", "-i",
                                       "sine=frequency=" + std::to_string(frequency) + ":duration=" + length,
                                       "-target", target, "-b:v", "1500k", path});
    *log += result.output;
    return result.exitCode == 0;
}

bool Author(const std::string& work, const std::string& xml, const char* videoFormat, std::string* log)
{
    std::ofstream(work + "dvd.xml") << xml;
    setenv("VIDEO_FORMAT", videoFormat, 1);
    ProgramResult result = RunProgram({"dvdauthor", "-o", work + "dvd", "-x", work + "dvd.xml"});
    *log += result.output;
    return result.exitCode == 0;
}

const char* kMenusXml = R"(<dvdauthor>
 <vmgm><menus><pgc entry="title"><vob file="menu.mpg"/><post>jump titleset 1 menu;</post></pgc></menus></vmgm>
 <titleset>
  <menus><pgc entry="root"><vob file="menu.mpg"/><post>jump title 1;</post></pgc></menus>
  <titles><pgc><vob file="a.mpg"/></pgc><pgc><vob file="b.mpg"/></pgc></titles>
 </titleset>
</dvdauthor>
)";

const char* kTwoSetsXml = R"(<dvdauthor>
 <vmgm/>
 <titleset><titles><pgc><vob file="a.mpg"/></pgc></titles></titleset>
 <titleset><titles><pgc><vob file="b.mpg"/></pgc></titles></titleset>
</dvdauthor>
)";

std::string ManyTitleSetsXml()
{
    std::string xml = "<dvdauthor>\n <vmgm/>\n";
    for (int set = 0; set < 12; ++set)
        xml += " <titleset><menus><pgc entry=\"root\"><vob file=\"menu.mpg\"/></pgc></menus>"
               "<titles><pgc><vob file=\"a.mpg\"/></pgc></titles></titleset>\n";
    return xml + "</dvdauthor>\n";
}

std::string InWork(const std::string& work, std::string xml)
{
    for (const char* name : {"menu.mpg", "a.mpg", "b.mpg"}) {
        std::string quoted = std::string("\"") + name + "\"";
        for (size_t at = xml.find(quoted); at != std::string::npos; at = xml.find(quoted, at + 1))
            xml.replace(at, quoted.size(), "\"" + work + name + "\"");
    }
    return xml;
}

// Splits a title VOB in two at a sector boundary; the IFOs stay true since
// the parts are read back to back.
bool SplitTitleVob(const std::string& videoTs, std::string* log)
{
    std::string first = videoTs + "VTS_01_1.VOB";
    std::ifstream in(first, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t cut = (bytes.size() / 2048 / 2) * 2048;
    if (cut == 0 || fs::exists(videoTs + "VTS_01_2.VOB")) {
        *log += "cannot split " + first;
        return false;
    }
    std::ofstream(first, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(cut));
    std::ofstream(videoTs + "VTS_01_2.VOB", std::ios::binary)
        .write(bytes.data() + cut, static_cast<std::streamsize>(bytes.size() - cut));
    return true;
}

bool Build(DvdTree tree, const std::string& work, std::string* log)
{
    bool pal = tree != DvdTree::NtscTwoTitleSets;
    const char* target = pal ? "pal-dvd" : "ntsc-dvd";
    if (!MakeMpeg(work + "a.mpg", target, 2, 440, log) || !MakeMpeg(work + "b.mpg", target, 3, 660, log))
        return false;
    if (pal && !MakeMpeg(work + "menu.mpg", target, 1, 880, log))
        return false;
    std::string xml = InWork(work, tree == DvdTree::ManyTitleSets ? ManyTitleSetsXml()
                                   : pal                          ? kMenusXml
                                                                  : kTwoSetsXml);
    if (!Author(work, xml, pal ? "PAL" : "NTSC", log))
        return false;
    return tree != DvdTree::PalSplitVob || SplitTitleVob(work + "dvd/VIDEO_TS/", log);
}

const char* Name(DvdTree tree)
{
    switch (tree) {
    case DvdTree::NtscTwoTitleSets:
        return "ntsc-two-title-sets";
    case DvdTree::PalWithMenus:
        return "pal-with-menus";
    case DvdTree::PalSplitVob:
        return "pal-split-vob";
    case DvdTree::ManyTitleSets:
        return "many-title-sets";
    }
    return "unknown";
}

} // namespace

std::string TreeFolder(DvdTree tree, std::string* log)
{
    std::string done = CacheFolder() + Name(tree) + "/";
    std::string videoTs = done + "dvd/VIDEO_TS/";
    if (fs::exists(videoTs + "VIDEO_TS.BUP"))
        return videoTs;
    std::error_code ignored;
    fs::create_directories(CacheFolder(), ignored);
    std::string work = CacheFolder() + Name(tree) + ".work-" + std::to_string(getpid()) + "/";
    fs::remove_all(work, ignored);
    fs::create_directories(work, ignored);
    bool built = Build(tree, work, log);
    if (built) {
        for (const char* name : {"menu.mpg", "a.mpg", "b.mpg"})
            fs::remove(work + name, ignored);
        // Another process may have finished the same tree first; either is good.
        if (rename(work.substr(0, work.size() - 1).c_str(), done.substr(0, done.size() - 1).c_str()) != 0)
            fs::remove_all(work, ignored);
    } else {
        fs::remove_all(work, ignored);
    }
    return fs::exists(videoTs + "VIDEO_TS.BUP") ? videoTs : std::string();
}

bool CopyTree(const std::string& videoTs, const std::string& target)
{
    std::error_code failure;
    fs::copy(videoTs, target, fs::copy_options::recursive, failure);
    return !failure;
}
