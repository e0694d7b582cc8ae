// When the stored texts of the modeless views (the progress window, its status line set after
// every received block) reach their widgets, and so the screen. A text after a quiet spell
// shows at the next pass of the event loop; a stream of them at most every kViewRefreshMs:
// 25 repaints a second read as continuous, 500 would only burn the copy's CPU.
#pragma once

#include <cstdint>
#include <vector>

class QObject;
class QTimer;

namespace qthost {

class QtDialogView;

class ViewRefresh {
  public:
    static constexpr int64_t kViewRefreshMs = 40;

    // The refresh timer is a child of `owner`.
    // REQUIRES: owner outlives this object.
    explicit ViewRefresh(QObject& owner);
    ~ViewRefresh();
    ViewRefresh(const ViewRefresh&) = delete;
    ViewRefresh& operator=(const ViewRefresh&) = delete;

    // A view takes part while it is registered.
    // REQUIRES: a registered view unregisters before it is destroyed, or Clear() runs.
    void Register(QtDialogView* view);
    void Unregister(QtDialogView* view);
    // Forgets every view (the window goes; views outliving it are never flushed again).
    void Clear() { m_views.clear(); }

    // Applies every view's stored texts now.
    void Flush();
    // Applies them at the next pass of the event loop at the latest (once per burst of texts).
    void Schedule();

  private:
    std::vector<QtDialogView*> m_views;     // registered views, not owned
    QTimer* m_timer;                        // child of the owner
    int64_t m_lastFlushMs = INT64_MIN / 2;  // coarse monotonic ms of the last flush
};

}  // namespace qthost
