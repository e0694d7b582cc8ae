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
const QString kListPath = QStringLiteral("/io/github/pomvex/Pomvex/List");
const QString kListInterface = QStringLiteral("io.github.pomvex.Pomvex.List");

// One name per folder, whichever way it was spelled ($POMVEX_HOME with a trailing '/', a
// symbolic link): the real path when there is one.
QString BusNameOf(const std::string& folder) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(folder.c_str(), nullptr), &std::free);
    const QByteArray path = real ? QByteArray(real.get()) : QByteArray::fromStdString(folder);
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("io.github.pomvex.Pomvex.Folder_") + QString::fromLatin1(hash.left(32));
}

}  // namespace

void ListReceiver::Append(const QByteArray& lines, bool get, bool check) {
    if (m_take) m_take(lines.toStdString(), get, check);
}

RunningCopy::RunningCopy(const std::string& folder, std::function<void()> activate, HandOverFn take,
                         QObject* parent)
    : QObject(parent), m_activate(std::move(activate)), m_receiver(std::move(take), nullptr) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots)) return;
    if (!bus.registerObject(kListPath, &m_receiver, QDBusConnection::ExportScriptableSlots)) {
        bus.unregisterObject(kPath);
        return;
    }
    const QString name = BusNameOf(folder);
    if (bus.registerService(name)) {
        m_name = name;
    } else {
        bus.unregisterObject(kListPath);
        bus.unregisterObject(kPath);
    }
}

RunningCopy::~RunningCopy() {
    if (m_name.isEmpty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_name);
    bus.unregisterObject(kListPath);
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

bool RunningCopy::HandOverTo(const std::string& folder, const std::string& lines, bool get,
                             bool check, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(BusNameOf(folder), kListPath, kListInterface, "Append");
    call << QByteArray::fromStdString(lines) << get << check;
    call.setAutoStartService(false);
    if (bus.call(call, QDBus::Block, timeoutMs).type() != QDBusMessage::ReplyMessage) return false;
    return ActivateCopyOf(folder, timeoutMs);
}
