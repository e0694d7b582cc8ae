#include "platform/qt/QtSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <ctime>
#include <stdexcept>

#include "platform/TextInput.h"
#include "platform/qt/Accessibility.h"
#include "resources/Text.h"

namespace qthost {

int64_t CoarseNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

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

bool IsEnter(const QKeyEvent* e) {
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

const DialogTemplate& TemplateOrThrow(int id) {
    const DialogTemplate* t = FindTemplate(id);
    if (!t) throw std::invalid_argument("no dialog template " + std::to_string(id));
    return *t;
}

Qt::WindowFlags FrameFlags(unsigned style, bool mainWindow) {
    Qt::WindowFlags f =
        (mainWindow ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (style & SysMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & MinimizeBox) f |= Qt::WindowMinimizeButtonHint;
    return f;
}

}  // namespace qthost
