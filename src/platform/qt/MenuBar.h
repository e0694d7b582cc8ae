// The main window's menu bar, filled from the menu template. The menu texts carry no mnemonics,
// so the keyboard reaches the bar the desktop way: F10 opens the first menu, a tap of Alt
// highlights it, the arrow keys move on from there.
#pragma once

#include <functional>

class QMenuBar;
class QWidget;

namespace qthost {

// Fills `bar` from MainMenu(); choosing an item calls `onCommand` with its command id. F10 in
// `window` opens the first menu while `takesInput()` is true.
// REQUIRES: bar is empty and a child of `window`; onCommand and takesInput stay callable while
// the window lives.
void FillMenuBar(QMenuBar& bar, QWidget& window, std::function<void(int command)> onCommand,
                 std::function<bool()> takesInput);

}  // namespace qthost
