// Turns a DialogTemplate into Qt widgets at absolute positions, the way the windowing system
// builds a dialog from its resource. Shared by the main window and every template dialog.
#pragma once

#include <QFont>
#include <QKeyEvent>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

#include "resources/Templates.h"

class QWidget;
class QIcon;

namespace qthost {

// The dialog font: IPAPGothic 9 pt (metric-compatible with the face the layouts were measured
// in), Noto Sans CJK JP when it is missing.
QFont DialogFont();

// The program icon in every size we ship.
QIcon ProgramIcon();

// Dialog units of one font: x px = dlu_x * avgCharWidth / 4, y px = dlu_y * charHeight / 8,
// each rounded to the nearest pixel.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int avgCharWidth, int charHeight) : m_cx(avgCharWidth), m_cy(charHeight) {}

    int X(int dlu) const;
    int Y(int dlu) const;
    QSize Size(int w, int h) const { return {X(w), Y(h)}; }
    QRect Rect(int x, int y, int w, int h) const { return {X(x), Y(y), X(w), Y(h)}; }
    // The pixel rectangle a control of this template gets (a combo box gets its closed height).
    QRect ControlRect(const ControlTemplate& c) const;

    int avgCharWidth() const { return m_cx; }
    int charHeight() const { return m_cy; }

  private:
    int m_cx;  // average character width, measured the Windows way over A..Z a..z
    int m_cy;  // character height
};

// A combo box's closed height in dialog units; its template height is the dropped-down one.
inline constexpr int kComboClosedDlu = 12;

struct BuiltControl {
    const ControlTemplate* tmpl;  // points into the static template table
    QWidget* widget;              // owned by the client widget it was built into
};

// Builds every control of `t` as a child of `client` (whose size becomes the template's client
// size), in template order, with tab order = template order restricted to TabStop controls.
// Each control gets everything its template item asks for, the same in every window: a FitText
// edit its narrowed face, a KeepsEnter control the Enter key to itself, every control what a
// screen reader needs of it (see Accessibility.h).
// REQUIRES: client is not null, has no children from an earlier build and already has the font
// of its window (FitText measures with it).
std::vector<BuiltControl> BuildControls(const DialogTemplate& t, QWidget* client,
                                        const DialogUnits& units);

// Whether the key is Return or the keypad's Enter.
bool IsEnter(const QKeyEvent* e);

// Throws std::invalid_argument when there is no template `id`.
const DialogTemplate& TemplateOrThrow(int id);

// A main window is a window of its own (with a task-bar button); the others are dialogs.
Qt::WindowFlags FrameFlags(unsigned style, bool mainWindow = false);

}  // namespace qthost
