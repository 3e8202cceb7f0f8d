#include "MenuMaker.h"

#include "MenuPicture.h"
#include "ToolProcess.h"
#include "WorkFolder.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

constexpr const char* kFront = "ar.exe";

MenuFrame FrameOf(const MenuRequest& request)
{
    return {720, request.system == TvSystem::Pal ? 576 : 480, request.wide};
}

// The last line of a tool's report that says what went wrong.
std::string ReasonIn(const std::string& report)
{
    std::string reason;
    size_t start = 0;
    while (start < report.size()) {
        size_t end = report.find('\n', start);
        if (end == std::string::npos)
            end = report.size();
        std::string line = report.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && (reason.rfind("ERR:", 0) != 0 || line.rfind("ERR:", 0) == 0))
            reason = line;
        start = end + 1;
    }
    return reason;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class MenuRun {
public:
    MenuRun(const MenuRequest& request, const WorkFolder& work)
        : request_(request), work_(work), frame_(FrameOf(request))
    {
    }

    MenuResult Make();

private:
    bool WritePicture(const QImage& image, const std::string& name);
    bool WriteSpumuxXml(const MenuPage& page, size_t number, bool letterbox, std::string* xml);
    bool Run(const std::string& tool, const std::vector<std::string>& arguments, const std::string& input,
             const std::string& output, std::string* report);
    bool MakePage(const MenuPage& page, size_t number, std::string* video);
    bool Fail(const std::string& why)
    {
        if (result_.why.empty())
            result_.why = why;
        return false;
    }

    const MenuRequest& request_;
    const WorkFolder& work_;
    const MenuFrame frame_;
    MenuResult result_;
    int runs_ = 0;
};

bool MenuRun::WritePicture(const QImage& image, const std::string& name)
{
    const QByteArray bytes = PngBytes(image);
    std::string error;
    if (bytes.isEmpty())
        return Fail("cannot encode the picture " + name);
    return WriteNewFile(work_.File(name), std::string(bytes.constData(), static_cast<size_t>(bytes.size())), &error) ||
           Fail(error);
}

bool MenuRun::WriteSpumuxXml(const MenuPage& page, size_t number, bool letterbox, std::string* xml)
{
    const std::string suffix = std::to_string(number) + (letterbox ? "-letterbox" : "");
    const std::string highlight = "highlight-" + suffix + ".png";
    const std::string select = "select-" + suffix + ".png";
    if (!WritePicture(DrawButtons(frame_, page, ButtonState::Highlighted, letterbox), highlight) ||
        !WritePicture(DrawButtons(frame_, page, ButtonState::Activated, letterbox), select))
        return false;
    std::string text = "<subpictures format=\"" + std::string(request_.system == TvSystem::Pal ? "PAL" : "NTSC") +
                       "\">\n <stream>\n  <spu start=\"00:00:00.00\" force=\"yes\" highlight=\"" +
                       XmlAttributeValue(work_.File(highlight)) + "\" select=\"" + XmlAttributeValue(work_.File(select)) +
                       "\">\n";
    for (size_t i = 0; i < page.buttons.size(); ++i) {
        const MenuButton& button = page.buttons[i];
        const Box box = SubpictureBox(frame_, button.box, letterbox);
        char line[256];
        std::snprintf(line, sizeof line,
                      "   <button name=\"%s\" x0=\"%d\" y0=\"%d\" x1=\"%d\" y1=\"%d\" up=\"%s\" down=\"%s\" "
                      "left=\"%s\" right=\"%s\" />\n",
                      ButtonName(i).c_str(), box.x, box.y, box.Right(), box.Bottom(),
                      ButtonName(static_cast<size_t>(button.up)).c_str(),
                      ButtonName(static_cast<size_t>(button.down)).c_str(),
                      ButtonName(static_cast<size_t>(button.left)).c_str(),
                      ButtonName(static_cast<size_t>(button.right)).c_str());
        text += line;
    }
    text += "  </spu>\n </stream>\n</subpictures>\n";
    *xml = work_.File("spumux-" + suffix + ".xml");
    std::string error;
    return WriteNewFile(*xml, text, &error) || Fail(error);
}

// Runs a tool with input (or nothing) as its standard input and output as
// its standard output; its report (standard error) is kept in the work
// folder and returned.
bool MenuRun::Run(const std::string& tool, const std::vector<std::string>& arguments, const std::string& input,
                  const std::string& output, std::string* report)
{
    const std::string program = FindOnPath(tool);
    if (program.empty())
        return Fail(tool + " not found on PATH");
    std::string error;
    const std::string reportPath = work_.File(tool + "-" + std::to_string(++runs_) + ".log");
    const int in = input.empty() ? -1 : OpenRegularFile(input, &error);
    const int out = in >= 0 || input.empty() ? CreateNewFile(output, &error) : -1;
    const int err = out >= 0 ? CreateNewFile(reportPath, &error) : -1;
    ToolRun run;
    if (err >= 0) {
        std::vector<std::string> argv = {tool};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        run = RunTool(kFront, program, argv, {in, out, err});
    }
    for (int fd : {in, out, err}) {
        if (fd >= 0)
            close(fd);
    }
    if (err < 0)
        return Fail(error);
    result_.stopSignal = run.stopSignal;
    *report = ReadText(reportPath);
    if (run.stopSignal != 0)
        return Fail("stopped");
    if (run.exitCode != 0)
        return Fail(tool + " failed (exit status " + std::to_string(run.exitCode) + "): " + ReasonIn(*report));
    return true;
}

bool MenuRun::MakePage(const MenuPage& page, size_t number, std::string* video)
{
    const std::string n = std::to_string(number);
    const bool pal = request_.system == TvSystem::Pal;
    if (!WritePicture(DrawBackground(frame_, page), "background-" + n + ".png"))
        return false;
    std::string report;
    const std::string still = work_.File("still-" + n + ".mpg");
    // A second of the picture with silence: players want a menu video to
    // carry sound, and the pause at its end holds the picture.
    if (!Run("ffmpeg",
             {"-nostdin", "-v", "error", "-loop", "1", "-framerate", pal ? "25" : "30000/1001", "-i",
              work_.File("background-" + n + ".png"), "-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo", "-t", "1",
              "-target", pal ? "pal-dvd" : "ntsc-dvd", "-aspect", request_.wide ? "16:9" : "4:3", "-b:a", "192k",
              "-f", "dvd", "pipe:1"},
             "", still, &report))
        return false;
    std::string input = still;
    for (bool letterbox : {false, true}) {
        if (letterbox && !request_.wide)
            break;
        std::string xml;
        if (!WriteSpumuxXml(page, number, letterbox, &xml))
            return false;
        *video = work_.File("menu-" + n + (letterbox ? "-letterbox" : "") + ".mpg");
        if (!Run("spumux", {"-m", "dvd", "-s", letterbox ? "1" : "0", xml}, input, *video, &report))
            return false;
        if (!SpumuxAddedAll(report))
            return Fail("spumux left out the buttons: " + ReasonIn(report));
        input = *video;
    }
    return true;
}

MenuResult MenuRun::Make()
{
    std::string error;
    if (!LoadMenuFont(&error)) {
        Fail(error);
        return result_;
    }
    result_.menu.wide = request_.wide;
    result_.menu.pages = LayOutMenu(frame_, request_.label, request_.names, MenuTextWidth());
    for (size_t page = 0; page < result_.menu.pages.size(); ++page) {
        std::string video;
        if (!MakePage(result_.menu.pages[page], page + 1, &video))
            return result_;
        result_.menu.videos.push_back(video);
    }
    result_.made = true;
    return result_;
}

// Qt's own warnings (no runtime folder, and the like) would only clutter
// the burn log.
void QuietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

bool SpumuxAddedAll(const std::string& report)
{
    const size_t at = report.find(" subtitles added, ");
    if (at == std::string::npos)
        return false;
    size_t start = report.rfind(' ', at - 1);
    start = start == std::string::npos ? 0 : start + 1;
    int added = 0;
    int skipped = -1;
    return std::sscanf(report.c_str() + start, "%d subtitles added, %d subtitles skipped", &added, &skipped) == 2 &&
           added > 0 && skipped == 0;
}

MenuResult MakeMenu(const MenuRequest& request, const WorkFolder& work)
{
    qInstallMessageHandler(QuietMessages);
    static char name[] = "ar.exe";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    int argc = 3;
    QGuiApplication application(argc, argv);
    return MenuRun(request, work).Make();
}
