#include "platform/dbus/RunningCopy.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusMessage>
#include <climits>
#include <cstdlib>
#include <memory>

namespace {

const QString kPath = QStringLiteral("/io/github/pomvex/Pomvex");
const QString kInterface = QStringLiteral("org.freedesktop.Application");

// One name per folder, whichever way it was spelled ($POMVEX_HOME with a trailing '/', a
// symbolic link): the real path when there is one.
QString BusNameOf(const std::string& folder) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(folder.c_str(), nullptr), &std::free);
    const QByteArray path = real ? QByteArray(real.get()) : QByteArray::fromStdString(folder);
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("io.github.pomvex.Pomvex.Folder_") + QString::fromLatin1(hash.left(32));
}

}  // namespace

RunningCopy::RunningCopy(const std::string& folder, std::function<void()> activate, QObject* parent)
    : QObject(parent), m_activate(std::move(activate)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots)) return;
    const QString name = BusNameOf(folder);
    if (bus.registerService(name)) {
        m_name = name;
    } else {
        bus.unregisterObject(kPath);
    }
}

RunningCopy::~RunningCopy() {
    if (m_name.isEmpty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_name);
    bus.unregisterObject(kPath);
}

void RunningCopy::Activate(const QVariantMap&) {
    if (m_activate) m_activate();
}

bool RunningCopy::ActivateCopyOf(const std::string& folder, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(BusNameOf(folder), kPath, kInterface, "Activate");
    call << QVariantMap();
    // No auto-start: nothing installed may be started to answer for a folder.
    call.setAutoStartService(false);
    return bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage;
}
