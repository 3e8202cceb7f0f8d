#include "MenuLayout.h"

#include <algorithm>

namespace {

constexpr int kRowsPerColumn = 6;
constexpr const char* kEllipsis = "\xE2\x80\xA6";
constexpr const char* kPlayAll = "Play all";
constexpr const char* kPrevious = "Previous";
constexpr const char* kNext = "Next";

// The vertical bands of a page, shared by all pages so that turning one
// does not move anything.
struct Bands {
    Box safe;
    int headingHeight = 0;
    int rowHeight = 0;
    int buttonHeight = 0;
    int barTop = 0;
    int gap = 0;
    int padding = 0;
};

Bands BandsOf(const MenuFrame& frame)
{
    Bands bands;
    bands.safe = SafeArea(frame);
    const int caption = CaptionPixels(frame);
    bands.gap = caption / 2;
    bands.padding = caption * 3 / 5;
    bands.headingHeight = HeadingPixels(frame) * 11 / 5;
    bands.buttonHeight = caption * 19 / 10;
    bands.barTop = bands.safe.Bottom() - bands.buttonHeight;
    const int gridHeight = bands.barTop - bands.gap - (bands.safe.y + bands.headingHeight);
    bands.rowHeight = gridHeight / kRowsPerColumn;
    bands.buttonHeight = std::min(bands.buttonHeight, bands.rowHeight - bands.gap / 2);
    return bands;
}

std::string CleanText(const std::string& text)
{
    std::string clean = text;
    for (char& c : clean) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return clean;
}

// Byte offsets where a UTF-8 character starts, and the end.
std::vector<size_t> CharacterStarts(const std::string& text)
{
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            starts.push_back(at);
    }
    starts.push_back(text.size());
    return starts;
}

std::string Shortened(const std::string& text, size_t bytes)
{
    std::string kept = text.substr(0, bytes);
    while (!kept.empty() && kept.back() == ' ')
        kept.pop_back();
    return kept + kEllipsis;
}

// Videos fill the first column, then the second.
struct Grid {
    int columns = 1;
    int count = 0;
    int ColumnOf(int i) const { return i / kRowsPerColumn; }
    int RowOf(int i) const { return i % kRowsPerColumn; }
    int RowsIn(int column) const { return std::clamp(count - column * kRowsPerColumn, 0, kRowsPerColumn); }
    int At(int column, int row) const { return column * kRowsPerColumn + std::min(row, RowsIn(column) - 1); }
};

struct Bar {
    int previous = -1;
    int playAll = -1;
    int next = -1;
    // The bar button under a column, which Down leads to from its last row.
    int Under(const Grid& grid, int column) const
    {
        if (grid.columns == 1)
            return playAll;
        if (column == 0)
            return previous >= 0 ? previous : playAll;
        return next >= 0 ? next : playAll;
    }
    int ColumnAbove(int button, const Grid& grid) const { return button == next ? grid.columns - 1 : 0; }
};

void LinkVideos(const Grid& grid, const Bar& bar, std::vector<MenuButton>& buttons)
{
    for (int i = 0; i < grid.count; ++i) {
        const int column = grid.ColumnOf(i);
        const int row = grid.RowOf(i);
        const int last = grid.RowsIn(column) - 1;
        MenuButton& button = buttons[static_cast<size_t>(i)];
        button.up = row > 0 ? i - 1 : bar.Under(grid, column);
        button.down = row < last ? i + 1 : bar.Under(grid, column);
        const int other = 1 - column;
        const bool beside = grid.columns == 2 && grid.RowsIn(other) > 0;
        button.left = column == 1 && beside ? grid.At(0, row) : i;
        button.right = column == 0 && beside ? grid.At(1, row) : i;
    }
}

void LinkBar(const Grid& grid, const Bar& bar, std::vector<MenuButton>& buttons)
{
    const std::vector<int> order = [&] {
        std::vector<int> present;
        for (int button : {bar.previous, bar.playAll, bar.next}) {
            if (button >= 0)
                present.push_back(button);
        }
        return present;
    }();
    for (size_t k = 0; k < order.size(); ++k) {
        MenuButton& button = buttons[static_cast<size_t>(order[k])];
        const int column = bar.ColumnAbove(order[k], grid);
        button.up = grid.At(column, grid.RowsIn(column) - 1);
        button.down = grid.At(column, 0);
        button.left = order[k > 0 ? k - 1 : k];
        button.right = order[k + 1 < order.size() ? k + 1 : k];
    }
}

MenuButton BarButton(MenuAction action, const char* caption, const Box& box)
{
    MenuButton button;
    button.action = action;
    button.caption = caption;
    button.box = box;
    button.centred = true;
    return button;
}

MenuPage LayOutPage(const MenuFrame& frame, const Bands& bands, const std::string& label,
                    const std::vector<std::string>& names, int first, int count, bool last, const TextWidth& width)
{
    const int caption = CaptionPixels(frame);
    const Box& safe = bands.safe;
    MenuPage page;
    page.headingBox = {safe.x, safe.y, safe.width, HeadingPixels(frame) * 7 / 5};
    page.heading = FitText(label, safe.width,
                           [&](const std::string& text) { return width(text, HeadingPixels(frame), true); });

    Grid grid;
    grid.count = count;
    grid.columns = count > kRowsPerColumn ? 2 : 1;
    const int columnWidth = grid.columns == 2 ? (safe.width - bands.gap) / 2 : safe.width * 2 / 3;
    const int left = grid.columns == 2 ? safe.x : safe.x + (safe.width - columnWidth) / 2;
    const int top = safe.y + bands.headingHeight;
    auto measure = [&](const std::string& text) { return width(text, caption, false); };
    for (int i = 0; i < count; ++i) {
        MenuButton button;
        button.video = first + i;
        button.box = {left + grid.ColumnOf(i) * (columnWidth + bands.gap), top + grid.RowOf(i) * bands.rowHeight,
                      columnWidth, bands.buttonHeight};
        button.caption = FitText(names[static_cast<size_t>(first + i)], columnWidth - 2 * bands.padding, measure);
        page.buttons.push_back(button);
    }

    const int slot = (safe.width - 2 * bands.gap) / 3;
    auto slotBox = [&](int k) { return Box {safe.x + k * (slot + bands.gap), bands.barTop, slot, bands.buttonHeight}; };
    Bar bar;
    if (first > 0) {
        bar.previous = static_cast<int>(page.buttons.size());
        page.buttons.push_back(BarButton(MenuAction::PreviousPage, kPrevious, slotBox(0)));
    }
    bar.playAll = static_cast<int>(page.buttons.size());
    page.buttons.push_back(BarButton(MenuAction::PlayAll, kPlayAll, slotBox(1)));
    if (!last) {
        bar.next = static_cast<int>(page.buttons.size());
        page.buttons.push_back(BarButton(MenuAction::NextPage, kNext, slotBox(2)));
    }
    LinkVideos(grid, bar, page.buttons);
    LinkBar(grid, bar, page.buttons);
    return page;
}

} // namespace

int HeadingPixels(const MenuFrame& frame)
{
    return frame.height * 68 / 1000;
}

int CaptionPixels(const MenuFrame& frame)
{
    return frame.height * 42 / 1000;
}

Box SafeArea(const MenuFrame& frame)
{
    const int display = frame.DisplayWidth();
    const int x = (display + 9) / 10;
    const int y = (frame.height + 9) / 10;
    return {x, y, display - 2 * x, frame.height - 2 * y};
}

std::vector<MenuPage> LayOutMenu(const MenuFrame& frame, const std::string& label,
                                 const std::vector<std::string>& names, const TextWidth& width)
{
    const Bands bands = BandsOf(frame);
    const int total = static_cast<int>(names.size());
    std::vector<MenuPage> pages;
    for (int first = 0; first < total; first += kVideosPerPage) {
        const int count = std::min(kVideosPerPage, total - first);
        pages.push_back(LayOutPage(frame, bands, label, names, first, count, first + count >= total, width));
    }
    return pages;
}

std::string FitText(const std::string& text, int width, const std::function<int(const std::string&)>& measure)
{
    const std::string clean = CleanText(text);
    if (measure(clean) <= width)
        return clean;
    const std::vector<size_t> starts = CharacterStarts(clean);
    // The most characters that still fit with the ellipsis; none at worst.
    size_t low = 0;
    size_t high = starts.size() - 1;
    while (low < high) {
        const size_t middle = (low + high + 1) / 2;
        if (measure(Shortened(clean, starts[middle])) <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return Shortened(clean, starts[low]);
}

Box ToStored(const Box& box, const MenuFrame& frame)
{
    const int display = frame.DisplayWidth();
    const int x0 = box.x * frame.width / display;
    const int x1 = (box.Right() * frame.width + display - 1) / display;
    const int y0 = box.y & ~1;
    const int y1 = (box.Bottom() + 1) & ~1;
    return {x0, y0, x1 - x0, y1 - y0};
}
