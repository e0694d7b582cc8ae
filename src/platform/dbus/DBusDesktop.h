// The Desktop over D-Bus. The sleep lock is a systemd-logind inhibitor ("sleep:idle", mode
// "block") on the system bus, held as the descriptor logind hands back and released by closing
// it; the notification goes to org.freedesktop.Notifications on the session bus. Nothing here
// waits for a bus: the lock is asked for asynchronously and the notification is sent without
// waiting for its reply, so a missing bus, a missing service or a refusal only means no lock or
// no notification.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QObject>
#include <memory>
#include <string>

#include "platform/Desktop.h"

class QDBusPendingCallWatcher;

class DBusDesktop : public QObject, public Desktop {
    Q_OBJECT
  public:
    // `icon` goes with every notification as its image (a null image: the icon name only).
    // REQUIRES: a QCoreApplication exists; used from its thread only.
    explicit DBusDesktop(QImage icon = {}, QObject* parent = nullptr);
    // Releases the lock.
    ~DBusDesktop() override;
    DBusDesktop(const DBusDesktop&) = delete;
    DBusDesktop& operator=(const DBusDesktop&) = delete;

    void HoldSleepLock(const std::string& why) override;
    void ReleaseSleepLock() override;
    void Notify(const std::string& title, const std::string& body) override;
    // logind's Suspend or PowerOff, not interactive.
    void RequestPower(PowerAction action,
                      std::function<void(bool taken, const std::string& why)> done) override;

  private:
    void OnInhibitReply(QDBusPendingCallWatcher* call);

    QImage m_icon;  // RGBA8888, at most 64 x 64; may be null
    // The Inhibit call asked for last, owned. Its reply holds a copy of the lock's descriptor, so
    // it lives exactly as long as the lock; destroying it before the reply came drops the reply.
    std::unique_ptr<QDBusPendingCallWatcher> m_inhibit;
    QDBusUnixFileDescriptor m_lock;  // the granted lock; invalid while none is held
};
