// Text at the toolkit boundary: the program's CP932 strings as Qt's strings and back, and the
// text of a control whatever its kind.
#pragma once

#include <QString>
#include <QWidget>
#include <string>

namespace qthost {

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

}  // namespace qthost
