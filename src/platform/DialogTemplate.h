#pragma once
// Dialog templates as data: every control with its id, kind, text, rectangle
// in dialog units and style, as the resource script of a dialog holds them.

#include <string>
#include <vector>

enum class ControlKind {
    PushButton,
    DefPushButton,
    CheckBox,    // automatic check box
    RadioButton, // automatic radio button
    GroupBox,
    Static,      // text label
    Icon,        // the application icon
    Edit,
    ListBox,
    DropDownList, // combo box with a list only
    Progress,
};

// Style bits; what the dialog framework's styles mean for each kind.
enum ControlStyle : unsigned {
    CS_NONE = 0,
    CS_HIDDEN = 1u << 0,
    CS_DISABLED = 1u << 1,
    CS_GROUP = 1u << 2,       // starts a group (radio buttons, tab order)
    CS_READONLY = 1u << 3,
    CS_CENTER = 1u << 4,      // text centred
    CS_RIGHT = 1u << 5,       // text right-aligned
    CS_NOPREFIX = 1u << 6,    // '&' shown as it stands
    CS_MULTILINE = 1u << 7,   // text wraps, aligned top left
    CS_AUTOHSCROLL = 1u << 8,
    CS_BORDER = 1u << 9,
    CS_NOTIFY = 1u << 10,
    CS_VSCROLL = 1u << 11,
    CS_CENTERIMAGE = 1u << 12, // statics: text centred vertically
};

struct ControlTemplate {
    int id = -1; // -1 for a control nobody addresses
    ControlKind kind = ControlKind::Static;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    unsigned style = CS_NONE;
    std::vector<std::string> items; // initial rows of a drop-down list
};

struct DialogTemplate {
    int id = 0;
    std::string caption;     // empty for a child page
    int cx = 0, cy = 0;      // dialog units
    std::string fontName;    // the template's font, e.g. "MS Sans Serif"
    int fontPoints = 8;
    bool child = false;      // a page laid into another window
    bool minimizeBox = false;
    std::vector<ControlTemplate> controls;
};

// The template with this id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);
// Every template, in id order (for the layout renderer and its tests).
std::vector<const DialogTemplate*> AllDialogTemplates();
// String table entries (101 "&About KANDRIX...", 102 "3.2"); "" when absent.
std::string LoadResourceString(int id);
