#include "platform/qt/QtDialogView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <algorithm>

#include "platform/qt/QtHost.h"
#include "platform/qt/QtText.h"

namespace qthost {

QtDialogView::QtDialogView(QtHost& host, TemplateDialog* dialog, bool owning)
    : m_host(host), m_hostAlive(&host), m_dialog(dialog), m_owning(owning) {
    m_dialog->AttachView(this);
    if (m_owning) m_host.RegisterView(this);
}

QtDialogView::~QtDialogView() {
    if (m_owning) {
        // The owner is enabled before the window goes, and takes the activation back (with its
        // own focused control) if this window had it.
        QPointer<QWidget> owner = m_dialog ? m_dialog->parentWidget() : nullptr;
        const bool wasActive = m_dialog && m_dialog->isActiveWindow();
        if (m_hostAlive) m_host.UnregisterView(this);
        if (m_dialog) {
            m_dialog->AttachView(nullptr);
            delete m_dialog.data();
        }
        if (wasActive && owner && owner->isVisible()) owner->activateWindow();
    } else if (m_dialog) {
        m_dialog->AttachView(nullptr);
    }
}

void QtDialogView::SetItemText(int id, const std::string& text) {
    if (!m_owning) {
        if (QWidget* w = Control(id)) SetWidgetText(w, text);
        return;
    }
    // Called after every received block: one lookup, a compare and a copy into the stored
    // string's own capacity; the host is asked for a flush only when the slot turns dirty.
    Slot& slot = m_slots[id];
    if (slot.text == text && (slot.dirty || slot.applied)) return;
    slot.text = text;
    if (slot.dirty) return;
    slot.dirty = true;
    if (m_hostAlive) m_host.ScheduleFlush();
}

std::string QtDialogView::GetItemText(int id) const {
    auto it = m_slots.find(id);
    if (m_owning && it != m_slots.end()) return it->second.text;
    QWidget* w = Control(id);
    return w ? WidgetText(w) : std::string();
}

void QtDialogView::SetCaption(const std::string& text) {
    if (m_dialog) m_dialog->setWindowTitle(ToQ(text));
}

void QtDialogView::FocusAndSelectAll(int id) {
    QWidget* w = Control(id);
    if (!w) return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    if (auto* c = qobject_cast<QComboBox*>(w); c && c->lineEdit()) c->lineEdit()->selectAll();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->selectAll();
}

void QtDialogView::SetRange(int id, int lower, int upper) {
    if (auto* p = qobject_cast<QProgressBar*>(Control(id))) p->setRange(lower, upper);
}

int QtDialogView::SetPos(int id, int pos) {
    auto* p = qobject_cast<QProgressBar*>(Control(id));
    if (!p) return 0;
    int previous = p->value();
    pos = std::clamp(pos, p->minimum(), p->maximum());
    if (pos != previous) p->setValue(pos);
    return previous;
}

int QtDialogView::MessageBox(const std::string& text, unsigned type) {
    return m_host.ShowMessageBox(m_dialog ? m_dialog.data() : nullptr, text, type);
}

void QtDialogView::Flush() {
    for (auto& [id, slot] : m_slots) {
        if (!slot.dirty) continue;
        if (QWidget* w = Control(id)) SetWidgetText(w, slot.text);
        slot.dirty = false;
        slot.applied = true;
    }
}

bool QtDialogView::Dirty() const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const auto& entry) { return entry.second.dirty; });
}

}  // namespace qthost
