// The DialogView of a template dialog. A modal one writes through at once; a modeless one (the
// progress window, updated after every received block) stores texts and applies them only
// just before the host pumps, so a block costs a string copy, not a repaint.
#pragma once

#include <QPointer>
#include <map>
#include <string>

#include "platform/Host.h"
#include "platform/qt/TemplateDialog.h"

class QtHost;

namespace qthost {

class QtDialogView : public DialogView {
  public:
    // Takes ownership of `dialog` when `owning` (modeless; the view registers with the host
    // while it lives); otherwise the dialog lives on the caller's stack.
    // REQUIRES: dialog is not null.
    QtDialogView(QtHost& host, TemplateDialog* dialog, bool owning);
    ~QtDialogView() override;

    void SetItemText(int id, const std::string& text) override;
    std::string GetItemText(int id) const override;
    void SetCaption(const std::string& text) override;
    void FocusAndSelectAll(int id) override;
    void SetRange(int id, int lower, int upper) override;
    int SetPos(int id, int pos) override;
    int MessageBox(const std::string& text, unsigned type) override;

    // Applies the stored texts that changed since the last flush.
    void Flush();
    bool Dirty() const;
    // Null once Qt deleted the dialog (its parent window went first).
    TemplateDialog* Dialog() const { return m_dialog.data(); }

  private:
    QWidget* Control(int id) const { return m_dialog ? m_dialog->Control(id) : nullptr; }

    QtHost& m_host;                     // not owned
    QPointer<QtHost> m_hostAlive;       // null once the main window is gone
    QPointer<TemplateDialog> m_dialog;  // owned when m_owning; null once Qt deleted it
    const bool m_owning;
    struct Slot {
        std::string text;      // CP932, as last set
        bool dirty = false;    // set but not yet shown
        bool applied = false;  // shown at least once
    };
    std::map<int, Slot> m_slots;  // modeless only
};

}  // namespace qthost
