// Requests from outside to end the program: SIGTERM and SIGHUP (a logout, a shutdown, `kill`),
// and the session manager's, which Qt passes on as QGuiApplication::commitDataRequest and
// QCoreApplication::aboutToQuit. A signal handler may do next to nothing safely, so it only
// writes the signal's number into a pipe; the event loop reads it there and calls the program
// back like any other event, wherever the thread stands (a download's pump, a message box).
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace qthost {

class EndRequests : public QObject {
  public:
    // `onRequest` gets the signal's number, or 0 for the session manager's request. A signal the
    // program was started with ignored (nohup) stays ignored.
    // REQUIRES: a QGuiApplication exists; at most one object at a time.
    explicit EndRequests(std::function<void(int signal)> onRequest, QObject* parent = nullptr);
    // Gives the signals their default action back.
    ~EndRequests() override;
    EndRequests(const EndRequests&) = delete;
    EndRequests& operator=(const EndRequests&) = delete;

    // Ends the process the way `signal` ends it without a handler, as if this object had never
    // been there. Never returns.
    [[noreturn]] static void DieOf(int signal);

  private:
    void Drain();

    std::function<void(int)> m_onRequest;
    QSocketNotifier* m_notifier = nullptr;  // child of this object
};

}  // namespace qthost
