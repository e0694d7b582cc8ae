#include "platform/qt/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <map>
#include <utility>

#include "platform/qt/CoarseClock.h"
#include "resources/Strings.h"

namespace qthost {

namespace {

// A listener follows a status line told once a second; the progress window paints its texts 25
// times a second, and its status line changes with every block.
constexpr int64_t kTellEveryMs = 1000;

constexpr const char* kLiveTextProperty = "pomvexLiveText";
constexpr const char* kAppendsTextProperty = "pomvexAppendsText";

// A LiveText label as assistive technologies see it: its name is the text last told, and the
// same text is readable through the text interface (a plain label offers only the name).
class LiveTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit LiveTextAccessible(QWidget* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    using QAccessibleWidget::text;
    QString text(int start, int end) const override { return Told().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Told().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

  private:
    QString Told() const { return widget()->accessibleName(); }
};

QAccessibleInterface* LiveTextFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QLabel") || !object->property(kLiveTextProperty).toBool())
        return nullptr;
    return new LiveTextAccessible(static_cast<QWidget*>(object));
}

// Keeps a LiveText label's accessible name on its text (on `emptyName` while it has none). A
// QLabel without a name of its own would announce every new text at once; this one tells the
// text it has painted, at most once a second, and the last one always.
class LiveLabel : public QObject {
  public:
    // Owned by `label`.
    LiveLabel(QLabel* label, QString emptyName)
        : QObject(label), m_label(label), m_emptyName(std::move(emptyName)) {
        static bool factoryInstalled = false;
        if (!std::exchange(factoryInstalled, true)) QAccessible::installFactory(LiveTextFactory);
        label->setProperty(kLiveTextProperty, true);
        // Building the label already made its plain interface; the next query makes ours.
        QAccessibleInterface* plain = QAccessible::queryAccessibleInterface(label);
        if (plain && !dynamic_cast<LiveTextAccessible*>(plain))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(plain));
        label->setAccessibleName(Painted());
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &LiveLabel::Tell);
        label->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        if (e->type() == QEvent::Paint) Tell();
        return false;
    }

  private:
    QString Painted() const { return m_label->text().isEmpty() ? m_emptyName : m_label->text(); }

    void Tell() {
        const QString now = Painted();
        const QString told = m_label->accessibleName();
        if (now == told) return;
        const int64_t wait = m_lastTellMs + kTellEveryMs - CoarseNowMs();
        if (wait > 0) {
            if (!m_timer->isActive()) m_timer->start(static_cast<int>(wait));
            return;
        }
        m_lastTellMs = CoarseNowMs();
        m_label->setAccessibleName(now);  // tells of the new name
        QAccessibleTextUpdateEvent changed(m_label, 0, told, now);
        QAccessible::updateAccessibility(&changed);
    }

    QLabel* m_label;  // the parent
    const QString m_emptyName;
    QTimer* m_timer{new QTimer(this)};
    int64_t m_lastTellMs = INT64_MIN / 2;  // coarse monotonic ms of the last telling
};

}  // namespace

void DescribeControls(std::span<const BuiltControl> built) {
    std::map<int, QWidget*> byId;
    for (const BuiltControl& b : built)
        if (b.tmpl->id != IDC_STATIC) byId[b.tmpl->id] = b.widget;
    std::map<QWidget*, QStringList> labelTexts;
    for (const BuiltControl& b : built) {
        auto* label = qobject_cast<QLabel*>(b.widget);
        auto target = byId.find(b.tmpl->labelFor);
        if (!label || b.tmpl->labelFor == 0 || target == byId.end()) continue;
        label->setBuddy(target->second);
        labelTexts[target->second] << label->text();
    }
    for (const BuiltControl& b : built) {
        const ControlTemplate& c = *b.tmpl;
        auto labels = labelTexts.find(b.widget);
        const std::string_view own = StrUtf8(c.name);
        const QString name =
            labels != labelTexts.end()
                ? labels->second.join(u' ')
                : QString::fromUtf8(own.data(), static_cast<qsizetype>(own.size()));
        if (auto* label = qobject_cast<QLabel*>(b.widget); label && (c.flags & LiveText)) {
            new LiveLabel(label, name);  // owned by the label
            continue;
        }
        if (auto* box = qobject_cast<QPlainTextEdit*>(b.widget); box && (c.flags & AppendsText)) {
            box->setProperty(kAppendsTextProperty, true);
            box->setUndoRedoEnabled(false);  // a read-only box: no need to keep what went in
        }
        if (name.isEmpty()) continue;
        b.widget->setAccessibleName(name);
        // Qt 6.4 on Linux calls an editable combo box by its current text whatever name it is
        // given; there the labels' relation carries the name. Its edit field and list (the
        // focus may land on either) get the name too.
        if (auto* combo = qobject_cast<QComboBox*>(b.widget)) {
            if (combo->lineEdit()) combo->lineEdit()->setAccessibleName(name);
            combo->view()->setAccessibleName(name);
        }
    }
}

bool SetAppendedText(QPlainTextEdit* box, const QString& text) {
    if (!box->property(kAppendsTextProperty).toBool()) return false;
    const QString shown = box->toPlainText();
    if (shown.isEmpty() || text.size() <= shown.size() || !text.startsWith(shown)) return false;
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text.mid(shown.size()));
    box->moveCursor(QTextCursor::Start);
    box->horizontalScrollBar()->setValue(0);
    box->verticalScrollBar()->setValue(0);
    return true;
}

}  // namespace qthost
