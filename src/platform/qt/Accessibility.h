// What a screen reader (through AT-SPI on Linux) finds in a window built from a template: a name
// for every control, the labels tied to the controls they name, labels whose changing text is
// readable as text and told at a pace a listener can follow, and a log that grows by its new
// lines. Nothing of it changes what the window looks like.
#pragma once

#include <span>

#include "platform/qt/DialogBuilder.h"

class QPlainTextEdit;
class QString;

namespace qthost {

// Gives every control of `built` (one whole window, in template order) what its template item
// asks for: a label with labelFor becomes the buddy of that control, which is called by the
// texts of its labels; a control no label names by its `name`; a LiveText label tells of its
// new text once it is painted, at most once a second; an AppendsText box takes the
// continuation of its text (see SetAppendedText).
// REQUIRES: every widget of `built` exists and has its template text.
void DescribeControls(std::span<const BuiltControl> built);

// For an AppendsText box: when `text` continues what the box shows, puts in only the
// continuation and leaves the box as a replacement would (caret at the start, view at the top
// left), and returns true; false (box untouched) otherwise, or when the box is not AppendsText.
bool SetAppendedText(QPlainTextEdit* box, const QString& text);

}  // namespace qthost
