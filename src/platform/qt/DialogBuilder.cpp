#include "platform/qt/DialogBuilder.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QStyle>
#include <algorithm>
#include <stdexcept>

#include "platform/qt/Accessibility.h"

// The icons are compiled into this static library; nothing references its resource table, so
// the linker would drop it unless it is registered by hand (outside any namespace).
static void RegisterResources() {
    Q_INIT_RESOURCE(pomvex);
}

namespace qthost {

QFont DialogFont() {
    QFont f;
    f.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSize(9);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QIcon ProgramIcon() {
    // Built once per process: Qt decodes every image as it is added (about 3 ms here), and every
    // window shows the icon, each download's progress window too. Never destroyed, so that no
    // pixmap outlives the application object at exit.
    static const QIcon* const icon = [] {
        RegisterResources();
        auto* i = new QIcon;
        for (int size : {16, 32, 48, 64, 128, 256})
            i->addFile(QStringLiteral(":/icons/pomvex-%1.png").arg(size), QSize(size, size));
        i->addFile(QStringLiteral(":/icons/pomvex.svg"));
        return i;
    }();
    return *icon;
}

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics fm(font);
    // The windowing system's own rule: half the width of the 52 letters over 26, rounded.
    int width = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_cx = (width / 26 + 1) / 2;
    m_cy = fm.height();
    if (m_cx <= 0) m_cx = 6;
    if (m_cy <= 0) m_cy = 12;
}

int DialogUnits::X(int dlu) const {
    return (dlu * m_cx + 2) / 4;
}
int DialogUnits::Y(int dlu) const {
    return (dlu * m_cy + 4) / 8;
}

QRect DialogUnits::ControlRect(const ControlTemplate& c) const {
    int h = c.kind == Kind::ComboDropDown ? kComboClosedDlu : c.h;
    return Rect(c.x, c.y, c.w, h);
}

namespace {

Qt::Alignment TextAlignment(unsigned flags) {
    Qt::Alignment h = Qt::AlignLeft;
    if (flags & CenterText) h = Qt::AlignHCenter;
    if (flags & RightText) h = Qt::AlignRight;
    return h | ((flags & CenterV) ? Qt::AlignVCenter : Qt::AlignTop);
}

// FitText: the face is narrowed, never the box moved or resized, so the layout stays the
// template's. Every '0' of `widest` becomes the face's widest digit.
void FitTextToWidth(QLineEdit* box, const char* widest) {
    QFont font = box->font();
    const QFontMetricsF plain(font);
    QChar digit = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d)
        if (plain.horizontalAdvance(QChar(d)) > plain.horizontalAdvance(digit)) digit = d;
    QString sample = QString::fromUtf8(widest);
    sample.replace(u'0', digit);
    // The line edit's text area: inside the frame and its fixed 2-pixel side margins, with one
    // pixel for the cursor.
    const int frame =
        box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box) : 0;
    const qreal room = box->width() - 2 * frame - 2 * 2 - 1;
    for (int stretch = 100; stretch >= 70; --stretch) {
        font.setStretch(stretch);
        if (QFontMetricsF(font).horizontalAdvance(sample) <= room) break;
    }
    if (font.stretch() != 100) box->setFont(font);
}

// KeepsEnter: the key ends here, before it could reach the window's Enter handling (a read-only
// box would pass it on to its parent).
class KeepEnter : public QObject {
  public:
    explicit KeepEnter(QWidget* control) : QObject(control) { control->installEventFilter(this); }

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !IsEnter(static_cast<QKeyEvent*>(e))) return false;
        e->accept();
        return true;
    }
};

QWidget* Make(const ControlTemplate& c, QWidget* client, const DialogUnits& units) {
    const QString text = QString::fromUtf8(c.text);
    const bool tab = c.flags & TabStop;
    switch (c.kind) {
        case Kind::Static: {
            auto* w = new QLabel(text, client);
            w->setTextFormat(Qt::PlainText);  // '&' and '<' are shown as they stand
            w->setAlignment(TextAlignment(c.flags));
            // A vertically centred label is one line; the others wrap like a left static does.
            w->setWordWrap(!(c.flags & CenterV));
            return w;
        }
        case Kind::StaticIcon: {
            auto* w = new QLabel(client);
            QRect r = units.ControlRect(c);
            int side = std::min(r.width(), r.height());
            w->setPixmap(ProgramIcon().pixmap(QSize(side, side)));
            w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return w;
        }
        case Kind::Edit: {
            auto* w = new QLineEdit(text, client);
            w->setReadOnly(c.flags & ReadOnly);
            w->setFrame(c.flags & Border);
            w->setAlignment(((c.flags & CenterText) ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignVCenter);
            w->setMaxLength(0x7FFFFFFF);
            // A read-only box can still take the focus by mouse, but Tab passes it by.
            w->setFocusPolicy(tab ? Qt::StrongFocus : Qt::ClickFocus);
            return w;
        }
        case Kind::MultiEdit: {
            auto* w = new QPlainTextEdit(text, client);
            w->setReadOnly(c.flags & ReadOnly);
            w->setLineWrapMode(QPlainTextEdit::NoWrap);
            w->setWordWrapMode(QTextOption::NoWrap);
            w->setVerticalScrollBarPolicy((c.flags & VScroll) ? Qt::ScrollBarAlwaysOn
                                                              : Qt::ScrollBarAlwaysOff);
            w->setHorizontalScrollBarPolicy((c.flags & HScroll) ? Qt::ScrollBarAlwaysOn
                                                                : Qt::ScrollBarAlwaysOff);
            w->setFrameShape((c.flags & Border) ? QFrame::StyledPanel : QFrame::NoFrame);
            w->setTabChangesFocus(true);  // Tab moves on as everywhere else in a dialog
            w->setFocusPolicy(tab ? Qt::StrongFocus : Qt::ClickFocus);
            if (c.flags & ReadOnly)  // keyboard selection still works in a read-only box
                w->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
            return w;
        }
        case Kind::PushButton: {
            auto* w = new QPushButton(text, client);
            // Enter is the window's business (see the hosts' key handling), never Qt's.
            w->setAutoDefault(false);
            w->setDefault(c.flags & DefPush);
            w->setFocusPolicy(tab ? Qt::StrongFocus : Qt::ClickFocus);
            return w;
        }
        case Kind::ComboDropDown: {
            auto* w = new QComboBox(client);
            w->setEditable(true);
            w->setInsertPolicy(QComboBox::NoInsert);
            w->setCompleter(nullptr);  // typed text stays exactly as typed
            w->setDuplicatesEnabled(true);
            // The dropped-down height of the template, in rows of the dialog font.
            int rows = (c.h - kComboClosedDlu) / 8;
            w->setMaxVisibleItems(std::max(1, rows));
            w->setFocusPolicy(tab ? Qt::StrongFocus : Qt::ClickFocus);
            return w;
        }
        case Kind::ProgressBar: {
            auto* w = new QProgressBar(client);
            w->setTextVisible(false);
            w->setRange(0, 100);
            w->setValue(0);
            return w;
        }
    }
    return new QWidget(client);
}

}  // namespace

std::vector<BuiltControl> BuildControls(const DialogTemplate& t, QWidget* client,
                                        const DialogUnits& units) {
    client->setFixedSize(units.Size(t.w, t.h));
    std::vector<BuiltControl> built;
    built.reserve(t.controls.size());
    QWidget* previousTab = nullptr;
    for (const ControlTemplate& c : t.controls) {
        QWidget* w = Make(c, client, units);
        w->setGeometry(units.ControlRect(c));
        auto* edit = qobject_cast<QLineEdit*>(w);
        if ((c.flags & FitText) && edit && c.widest) FitTextToWidth(edit, c.widest);
        if (c.flags & KeepsEnter) new KeepEnter(w);  // owned by w
        if (c.id != IDC_STATIC) w->setObjectName(QStringLiteral("ctl%1").arg(c.id));
        if (c.flags & TabStop) {
            if (previousTab) QWidget::setTabOrder(previousTab, w);
            previousTab = w;
        }
        built.push_back({&c, w});
    }
    DescribeControls(built);
    return built;
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
