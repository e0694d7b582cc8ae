// The dialog manners of edit controls: an edit that takes the focus through the dialog (Tab,
// Shift+Tab, the window's first focus when it first shows) has its whole text selected, so what
// the user types or pastes next replaces it. A mouse click, and the focus coming back when the
// window is activated again, leave the caret and the selection where they are.
#pragma once

#include <QObject>

class QWidget;

namespace qthost {

class SelectOnFocus : public QObject {
  public:
    // Watches every line edit (also those of editable combo boxes) and multi-line edit below
    // `client`; the filter is a child of `client`.
    // REQUIRES: the controls exist (call after they are built).
    static void Install(QWidget* client);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit SelectOnFocus(QObject* parent) : QObject(parent) {}
    bool m_firstFocusSeen = false;  // the window's first focus comes with the activation
};

}  // namespace qthost
