// A dialog built from a template other than the main window's (about box, serial dialog,
// progress window). OK (id 1, Enter) and cancel (id 2, Escape, close box) go to the handler;
// a modal one ends when the handler agrees, a modeless one never ends by itself.
#pragma once

#include <QDialog>
#include <map>

#include "platform/Host.h"
#include "resources/Templates.h"

class QtHost;

namespace qthost {

class TemplateDialog : public QDialog {
  public:
    // REQUIRES: host and handler outlive the dialog; AttachView before it is shown.
    TemplateDialog(const DialogTemplate& t, DialogHandler& handler, QtHost& host, bool modeless,
                   QWidget* parent);

    // The view handed to the handler; null detaches it (the handler is then not called).
    void AttachView(DialogView* view) { m_view = view; }
    // Control `id` (nullptr when there is none).
    QWidget* Control(int id) const;

    void accept() override;
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    DialogHandler& m_handler;  // not owned
    QtHost& m_host;            // not owned
    const bool m_modeless;
    DialogView* m_view = nullptr;        // not owned; set before the dialog is shown
    std::map<int, QWidget*> m_controls;  // children of the client widget
};

}  // namespace qthost
