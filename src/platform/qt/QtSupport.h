// Small helpers every window of the Qt host shares: CP932 text at the toolkit boundary,
// control texts by widget kind, the frame flags of a template, the coarse clock.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

#include "platform/qt/DialogBuilder.h"

class QKeyEvent;

namespace qthost {

// Monotonic milliseconds from the coarse clock (a memory read; its tick is a few ms).
int64_t CoarseNowMs();

QString ToQ(const std::string& cp932);
// A multi-line box shows CR LF as a line break.
QString ToQMultiLine(const std::string& cp932);
// Throw CTextException when `s` holds a character with no CP932 form (text::Utf8ToCp932).
std::string FromQ(const QString& s);
// The one multi-line edit the program reads is the URL list: a character whose CP932 bytes
// would name another one (〜 typed by an input method) becomes its UTF-8 percent-escape there,
// so that the server is asked for what was typed; the others throw as in FromQ.
std::string FromQMultiLine(const QString& s);

// The text of an edit, multi-line edit, combo box, label or button; other widgets are left
// alone (set) or read as empty (get).
void SetWidgetText(QWidget* w, const std::string& cp932);
std::string WidgetText(QWidget* w);

bool IsEnter(const QKeyEvent* e);

// Throws std::invalid_argument when there is no template `id`.
const DialogTemplate& TemplateOrThrow(int id);

// A main window is a window of its own (with a task-bar button); the others are dialogs.
Qt::WindowFlags FrameFlags(unsigned style, bool mainWindow = false);

}  // namespace qthost
