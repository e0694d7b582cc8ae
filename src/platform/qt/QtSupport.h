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
// Throw CTextException when `s` holds a character with no CP932 form.
std::string FromQ(const QString& s);
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
