// The program's open and save dialogs: Qt's own widget dialog, never the desktop's, because it
// runs in a modal loop of ours and the timers go on inside it. Its one filter reads as the
// program labels it ("*.*") yet shows every file, and a save dialog leaves the name as given or
// typed. Names cross to and from the file system through ospath, never as toolkit text.
#pragma once

#include <functional>
#include <string>

class QDialog;
class QWidget;

namespace qthost {

// Asks for an existing file to open (`open`) or for a name to save under, starting at
// `initialPath`: a folder, or a file to select; empty for the current folder. `runModal` runs
// the dialog and returns exec()'s result. True, with `chosenPath` set, when the user chose one.
// Throws CTextException when the chosen name has no CP932 form.
// REQUIRES: initialPath is CP932; parent, when not null, outlives the call.
bool ChooseFile(QWidget* parent, bool open, const std::string& initialPath, std::string& chosenPath,
                const std::function<int(QDialog&)>& runModal);

}  // namespace qthost
