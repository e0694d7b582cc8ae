#include "platform/qt/QtText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/TextInput.h"
#include "platform/qt/Accessibility.h"
#include "resources/Text.h"

namespace qthost {

QString ToQ(const std::string& cp932) {
    return QString::fromStdString(text::Cp932ToUtf8(cp932));
}

QString ToQMultiLine(const std::string& cp932) {
    QString s = ToQ(cp932);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string FromQ(const QString& s) {
    return text::Utf8ToCp932OrThrow(s.toStdString());
}

std::string FromQMultiLine(const QString& s) {
    QString crlf = s;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text::Utf8UrlToCp932OrThrow(crlf.toStdString());
}

void SetWidgetText(QWidget* w, const std::string& cp932) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(ToQ(cp932));
        e->setCursorPosition(0);
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        const QString text = ToQMultiLine(cp932);
        if (!SetAppendedText(m, text)) m->setPlainText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        c->setEditText(ToQ(cp932));
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(ToQ(cp932));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(ToQ(cp932));
    }
}

std::string WidgetText(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return FromQ(e->text());
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return FromQMultiLine(m->toPlainText());
    if (auto* c = qobject_cast<QComboBox*>(w)) return FromQ(c->currentText());
    if (auto* l = qobject_cast<QLabel*>(w)) return FromQ(l->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return FromQ(b->text());
    return {};
}

}  // namespace qthost
