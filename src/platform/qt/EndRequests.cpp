#include "platform/qt/EndRequests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>

namespace qthost {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
// The pipe's two ends, for the handler, which can reach nothing else. -1 while none is installed.
int g_pipe[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a request, which is all that counts.
    [[maybe_unused]] ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

}  // namespace

EndRequests::EndRequests(std::function<void(int)> onRequest, QObject* parent)
    : QObject(parent), m_onRequest(std::move(onRequest)) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &EndRequests::Drain);
        for (int s : kSignals) {
            struct sigaction old {};
            if (::sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
            struct sigaction act {};
            act.sa_handler = &OnSignal;
            sigemptyset(&act.sa_mask);
            act.sa_flags = SA_RESTART;
            ::sigaction(s, &act, nullptr);
        }
    }
    auto* app = qGuiApp;
    connect(app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { m_onRequest(0); });
    // Qt 6 emits this only when QCoreApplication::exec() returns, which a program run by a modal
    // window never calls; it is heard for the day the loop is the application's own.
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { m_onRequest(0); });
}

EndRequests::~EndRequests() {
    if (g_pipe[0] < 0) return;
    for (int s : kSignals) {
        struct sigaction old {};
        if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == &OnSignal) ::signal(s, SIG_DFL);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void EndRequests::Drain() {
    unsigned char number = 0;
    ssize_t n;
    do {
        n = ::read(g_pipe[0], &number, 1);
    } while (n < 0 && errno == EINTR);
    if (n == 1) m_onRequest(number);
}

void EndRequests::DieOf(int signal) {
    ::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);  // not reached: the default action of both signals ends the process
}

}  // namespace qthost
