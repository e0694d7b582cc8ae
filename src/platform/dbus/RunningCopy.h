// The running copy of a program folder on the session bus, so that a second start on the same
// folder can bring it to the front instead of opening a window of its own. The copy owns a bus
// name made from the folder (io.github.pomvex.Pomvex.Folder_<hash of its real path>) and serves
// org.freedesktop.Application's Activate on /io/github/pomvex/Pomvex. A copy on another folder
// owns another name; a copy in another login session is on another bus, where it is not found.
// A second start with URLs hands them over through io.github.pomvex.Pomvex.List's Append on
// /io/github/pomvex/Pomvex/List.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <string>

// What a second start hands over: the list lines (CP932, CR LF after each) and whether to start
// a download or a check with them.
using HandOverFn = std::function<void(const std::string& lines, bool get, bool check)>;

// The object that receives a hand-over; lives as long as the RunningCopy that exported it.
class ListReceiver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.pomvex.Pomvex.List")
  public:
    explicit ListReceiver(HandOverFn take, QObject* parent) : QObject(parent), m_take(take) {}

  public slots:
    Q_SCRIPTABLE void Append(const QByteArray& lines, bool get, bool check);

  private:
    HandOverFn m_take;
};

class RunningCopy : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
  public:
    // Registers this copy for `folder` (the program folder as the system names it); `activate`
    // runs on every Activate call. Without a session bus, or when the name is taken, nothing is
    // registered and nothing fails. `take` runs on every hand-over, after `activate`.
    // REQUIRES: a QCoreApplication exists; used from its thread.
    RunningCopy(const std::string& folder, std::function<void()> activate, HandOverFn take,
                QObject* parent = nullptr);
    ~RunningCopy() override;
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    // Asks the copy that runs `folder` to come to the front, waiting at most `timeoutMs` for its
    // answer. False when there is no session bus or no copy of that folder answers on it.
    static bool ActivateCopyOf(const std::string& folder, int timeoutMs);
    // Hands `lines` (and get, check) to the copy that runs `folder` and brings it to the front.
    // False as ActivateCopyOf.
    static bool HandOverTo(const std::string& folder, const std::string& lines, bool get,
                           bool check, int timeoutMs);

  public slots:
    // org.freedesktop.Application.Activate; the platform data is not needed.
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);

  private:
    std::function<void()> m_activate;
    ListReceiver m_receiver;
    QString m_name;  // the bus name owned; empty when none
};
