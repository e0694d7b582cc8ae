// Dialog templates and the menu, as data: what the platform builds windows from.
// Positions and sizes are dialog units of the dialog font; controls are in template order,
// which is also the tab order (restricted to TabStop controls). Texts are UTF-8.
#pragma once

#include <span>

#include "resources/Strings.h"

inline constexpr int IDC_STATIC = -1;

enum class Kind {
    Static,      // label
    StaticIcon,  // the program icon
    Edit,        // single-line edit
    MultiEdit,   // multi-line edit
    PushButton,
    ComboDropDown,  // editable field plus list; h is the height with the list dropped down
    ProgressBar,
};

enum CtlFlags : unsigned {
    TabStop = 1u << 0,
    ReadOnly = 1u << 1,
    Border = 1u << 2,
    VScroll = 1u << 3,
    HScroll = 1u << 4,
    AutoHScroll = 1u << 5,
    AutoVScroll = 1u << 6,
    DefPush = 1u << 7,      // default push button
    CenterV = 1u << 8,      // text vertically centred
    CenterText = 1u << 9,   // text centred horizontally
    RightText = 1u << 10,   // text right-aligned
    NoPrefix = 1u << 11,    // '&' shown as it stands
    WantReturn = 1u << 12,  // Enter inserts a line break
    Smooth = 1u << 13,      // smooth progress bar
    // An edit whose `widest` text would not fit in its box with the dialog font: the box keeps
    // its rectangle, its text gets a horizontally narrowed face, just enough for `widest`.
    FitText = 1u << 14,
    // Enter stays in the control: it presses no default button and gives no OK. (An editable box
    // with WantReturn takes it as a line break; a read-only one does nothing with it.)
    KeepsEnter = 1u << 15,
    // A label whose text changes while its window is up: assistive technologies hear of a change
    // at most once a second, after it was painted; its name is the text, or `name` while empty.
    LiveText = 1u << 16,
    // A read-only box whose next text mostly continues the one it shows (the log): only the
    // continuation goes in, so a screen reader hears the new lines, in order; the box looks as
    // after a replacement of the whole text.
    AppendsText = 1u << 17,
};

struct ControlTemplate {
    int id;  // IDC_STATIC for none
    Kind kind;
    const char* text;  // UTF-8
    int x, y, w, h;    // dialog units
    unsigned flags;
    // A label: the control it names for assistive technologies (its buddy), or 0. A control
    // named by labels is called by their texts, in template order.
    int labelFor = 0;
    // A control no label names: its accessible name from the string table.
    Sid name = Sid::None;
    // With FitText: the widest text the box will show (UTF-8); each '0' stands for any digit.
    const char* widest = nullptr;
};

enum DlgStyle : unsigned {
    SysMenu = 1u << 0,
    MinimizeBox = 1u << 1,
    ModalFrame = 1u << 2,
    HasMenu = 1u << 3,
};

struct DialogTemplate {
    int id;
    const char* caption;  // UTF-8
    int w, h;             // client size, dialog units
    unsigned style;
    const char* fontFace;  // the face the layout was measured in
    int fontPoints;
    std::span<const ControlTemplate> controls;
};

// The template with resource id `id`, or nullptr.
const DialogTemplate* FindTemplate(int id);

struct MenuTemplate {
    const char* text;                     // UTF-8; nullptr = separator
    int command;                          // 0 for a submenu or separator
    std::span<const MenuTemplate> items;  // submenu items
    bool radio = false;  // one of the checkable items of its submenu, one checked at a time
};

// The top-level items of IDR_MAINMENU.
std::span<const MenuTemplate> MainMenu();
