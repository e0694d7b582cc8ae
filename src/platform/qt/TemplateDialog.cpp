#include "platform/qt/TemplateDialog.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/DialogBuilder.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/SelectOnFocus.h"
#include "resources/Resource.h"

namespace qthost {

TemplateDialog::TemplateDialog(const DialogTemplate& t, DialogHandler& handler, QtHost& host,
                               bool modeless, QWidget* parent)
    : QDialog(parent, FrameFlags(t.style)), m_handler(handler), m_host(host), m_modeless(modeless) {
    setFont(DialogFont());
    setWindowTitle(QString::fromUtf8(t.caption));
    setWindowIcon(ProgramIcon());
    DialogUnits units(font());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* client = new QWidget(this);
    layout->addWidget(client);
    for (const BuiltControl& b : BuildControls(t, client, units)) {
        if (b.tmpl->id == IDC_STATIC) continue;
        m_controls[b.tmpl->id] = b.widget;
        if (auto* button = qobject_cast<QPushButton*>(b.widget)) {
            int id = b.tmpl->id;
            if (id == IDOK) connect(button, &QPushButton::clicked, this, &TemplateDialog::accept);
            if (id == IDCANCEL)
                connect(button, &QPushButton::clicked, this, &TemplateDialog::reject);
        }
    }
    SelectOnFocus::Install(client);
}

QWidget* TemplateDialog::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void TemplateDialog::accept() {
    bool ok = false;
    if (m_view) m_host.Guarded([&] { ok = m_handler.OnOK(*m_view); });
    if (ok && !m_modeless) QDialog::accept();
}

void TemplateDialog::reject() {
    bool ok = false;
    if (m_view) m_host.Guarded([&] { ok = m_handler.OnCancel(*m_view); });
    if (ok && !m_modeless) QDialog::reject();
}

void TemplateDialog::keyPressEvent(QKeyEvent* e) {
    if (IsEnter(e)) {
        // A focused push button takes Enter; otherwise the default button; otherwise OK.
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (focused && focused->isEnabled()) {
            focused->click();
            return;
        }
        for (auto& [id, w] : m_controls) {
            auto* b = qobject_cast<QPushButton*>(w);
            if (b && b->isDefault()) {
                if (b->isEnabled()) b->click();
                return;
            }
        }
        accept();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace qthost
