#include "DiscXml.h"

#include <cstdio>

namespace {

std::string ButtonCommand(const MenuButton& button, size_t page, const ChapterPlan& chapters)
{
    switch (button.action) {
    case MenuAction::PlayVideo:
        return "jump title 1 chapter " +
               std::to_string(chapters.firstChapter.at(static_cast<size_t>(button.video))) + ";";
    case MenuAction::PlayAll:
        return "jump title 1;";
    case MenuAction::PreviousPage:
        return "jump vmgm menu " + std::to_string(page) + ";";
    case MenuAction::NextPage:
        return "jump vmgm menu " + std::to_string(page + 2) + ";";
    }
    return "";
}

std::string MenuPgcs(const DiscMenu& menu, const ChapterPlan& chapters)
{
    std::string text;
    for (size_t page = 0; page < menu.pages.size(); ++page) {
        text += page == 0 ? "   <pgc entry=\"title\">\n" : "   <pgc>\n";
        // Every page opens on its first button, whatever was picked before.
        text += "    <pre>button = 1024;</pre>\n";
        text += "    <vob file=\"" + XmlAttributeValue(menu.videos.at(page)) + "\" pause=\"inf\" />\n";
        const std::vector<MenuButton>& buttons = menu.pages[page].buttons;
        for (size_t i = 0; i < buttons.size(); ++i) {
            text += "    <button name=\"" + ButtonName(i) + "\">" + ButtonCommand(buttons[i], page, chapters) +
                    "</button>\n";
        }
        text += "   </pgc>\n";
    }
    return text;
}

std::string VideoManager(const DiscMenu* menu, const ChapterPlan& chapters)
{
    if (!menu)
        return " <vmgm />\n";
    std::string text = " <vmgm>\n  <fpc>jump title 1;</fpc>\n  <menus>\n";
    if (menu->wide) {
        text += "   <video aspect=\"16:9\" widescreen=\"nopanscan\" />\n"
                "   <subpicture>\n"
                "    <stream id=\"0\" mode=\"widescreen\" />\n"
                "    <stream id=\"1\" mode=\"letterbox\" />\n"
                "   </subpicture>\n";
    } else {
        text += "   <video aspect=\"4:3\" />\n";
    }
    return text + MenuPgcs(*menu, chapters) + "  </menus>\n </vmgm>\n";
}

} // namespace

std::string ButtonName(size_t i)
{
    return "b" + std::to_string(i + 1);
}

std::string DiscXmlText(const std::vector<std::string>& files, const ChapterPlan& chapters, const DiscMenu* menu)
{
    // Jump pads let a video manager button reach a chapter, which the DVD
    // machine itself only allows from within the title set.
    std::string text = menu ? "<dvdauthor jumppad=\"yes\">\n" : "<dvdauthor>\n";
    text += VideoManager(menu, chapters);
    text += " <titleset>\n";
    if (menu) {
        text += "  <menus>\n   <pgc entry=\"root\">\n    <pre>jump vmgm menu entry title;</pre>\n   </pgc>\n"
                "  </menus>\n";
    }
    text += "  <titles>\n   <pgc>\n";
    for (size_t i = 0; i < files.size(); ++i) {
        text += "    <vob file=\"" + XmlAttributeValue(files[i]) + "\" chapters=\"" +
                ChapterAttribute(chapters.marks.at(i)) + "\" />\n";
    }
    if (menu)
        text += "    <post>call vmgm menu entry title;</post>\n";
    return text + "   </pgc>\n  </titles>\n </titleset>\n</dvdauthor>\n";
}
