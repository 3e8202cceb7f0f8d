#include "DiscMenus.h"

#include "MenuPicture.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SampleNames(int count)
{
    std::vector<std::string> names = {"Beach at sunset", "Harbour", "Grandma's 80th birthday party in the garden"};
    for (int i = static_cast<int>(names.size()) + 1; i <= count; ++i)
        names.push_back("holiday clip " + std::to_string(i));
    names.resize(static_cast<size_t>(count));
    return names;
}

bool RenderMenu(const QString& path, const MenuFrame& frame, int videos, size_t page)
{
    const std::vector<MenuPage> pages =
        LayOutMenu(frame, "My Holiday DVD 2026/27", SampleNames(videos), MenuTextWidth());
    if (page >= pages.size() || !DrawPreview(frame, pages[page], 0).save(path)) {
        std::fprintf(stderr, "kandrix_render: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

bool RenderDiscMenus(const QString& folder)
{
    std::string error;
    if (!LoadMenuFont(&error)) {
        std::fprintf(stderr, "kandrix_render: %s\n", error.c_str());
        return false;
    }
    bool ok = RenderMenu(folder + QStringLiteral("/menu-pal.png"), {720, 576, false}, 14, 0);
    ok = RenderMenu(folder + QStringLiteral("/menu-pal-2.png"), {720, 576, false}, 14, 1) && ok;
    ok = RenderMenu(folder + QStringLiteral("/menu-ntsc.png"), {720, 480, false}, 14, 0) && ok;
    return RenderMenu(folder + QStringLiteral("/menu-ntsc-wide.png"), {720, 480, true}, 3, 0) && ok;
}
