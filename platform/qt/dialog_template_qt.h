// Dialog and menu resources as data: what the builder in dialog_qt.h turns
// into widgets. Positions and sizes are in dialog units.
#pragma once

#include <QPixmap>
#include <QSize>
#include <span>

namespace platform {

inline constexpr int IDC_STATIC = -1;

enum class ControlKind {
    PushButton,
    DefPushButton, // Enter presses it
    GroupBox,
    Static,
    Icon,   // icon resource `resource`, drawn at its natural size
    Bitmap, // bitmap resource `resource`, at the control's top left
    CheckBox,
    RadioButton,
    ListView,    // report view
    ProgressBar, // usually replaced by a bound custom control
    Placeholder, // stands in for an embedded control that is not linked here
    Edit,        // one line of text
};

enum ControlStyle : unsigned {
    CS_NONE = 0,
    CS_HIDDEN = 0x01,
    CS_DISABLED = 0x02,
    CS_RIGHT = 0x04,  // text alignment of statics
    CS_CENTER = 0x08, // text alignment of statics
    CS_VERTICAL = 0x10,
    CS_BORDER = 0x20,
    CS_SINGLESEL = 0x40, // list views: one row at a time
    CS_GROUP = 0x80,     // starts a new radio button group
    CS_PASSWORD = 0x100, // edits: the text is masked
};

// How a control follows a dialog that the user enlarges (DS_THICKFRAME);
// without any it keeps its place at the top left.
enum ControlAnchor : unsigned {
    AN_NONE = 0,
    AN_RIGHT = 0x01,   // moves with the right edge
    AN_BOTTOM = 0x02,  // moves with the bottom edge
    AN_WIDTH = 0x04,   // grows with the width
    AN_HEIGHT = 0x08,  // grows with the height
    AN_HCENTRE = 0x10, // moves by half the growth: stays centred
};

struct ControlTemplate {
    ControlKind kind;
    int id;           // IDC_STATIC for controls nobody addresses
    const char* text; // UTF-8
    int x, y, cx, cy;
    unsigned style = CS_NONE;
    int resource = 0; // icon or bitmap resource of Icon and Bitmap controls
    unsigned anchor = AN_NONE;
};

struct MenuItemTemplate {
    int id;           // 0 for a separator or a pop-up
    const char* text; // UTF-8; null for a separator
    std::span<const MenuItemTemplate> popup = {};
    bool disabled = false;
};

struct MenuTemplate {
    int id;
    std::span<const MenuItemTemplate> items; // the menu bar's pop-ups
};

enum DialogStyle : unsigned {
    DS_NONE = 0,
    DS_SYSMENU = 0x01, // close box and the Alt+Space system menu
    DS_MINIMIZEBOX = 0x02,
    DS_CENTER = 0x04,
    DS_THICKFRAME = 0x08, // the user may enlarge it; its template size is the least
};

// Draws image resource `id` at `size` (null pixmap when unknown).
using ImageLoader = QPixmap (*)(int id, QSize size);

struct DialogTemplate {
    int id;
    const char* caption; // UTF-8
    int cx, cy;          // client size in dialog units
    const char* fontFace;
    int pointSize;
    unsigned style;
    const MenuTemplate* menu; // null without a menu bar
    std::span<const ControlTemplate> controls;
    ImageLoader images = nullptr;
};

} // namespace platform
