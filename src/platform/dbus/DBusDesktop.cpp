#include "platform/dbus/DBusDesktop.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "resources/Cp932.h"
#include "resources/Strings.h"

namespace {

// How long logind may take to answer before the call counts as refused. Nothing waits for it.
constexpr int kInhibitTimeoutMs = 10000;
constexpr int kIconSide = 64;

QString FromCp932(const std::string& text) {
    return QString::fromStdString(text::Cp932ToUtf8(text));
}

}  // namespace

// The notification specification's raw image, the "image-data" hint: (iiibiiay).
struct NotificationImage {
    QImage rgba;  // Format_RGBA8888
};
Q_DECLARE_METATYPE(NotificationImage)

QDBusArgument& operator<<(QDBusArgument& arg, const NotificationImage& image) {
    const QImage& i = image.rgba;
    arg.beginStructure();
    arg << i.width() << i.height() << static_cast<int>(i.bytesPerLine()) << true << 8 << 4
        << QByteArray(reinterpret_cast<const char*>(i.constBits()),
                      static_cast<int>(i.sizeInBytes()));
    arg.endStructure();
    return arg;
}

// Only sent, never received; the registration wants both directions, so this only consumes the
// fields.
const QDBusArgument& operator>>(const QDBusArgument& arg, NotificationImage& image) {
    int width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray data;
    arg.beginStructure();
    arg >> width >> height >> stride >> alpha >> bits >> channels >> data;
    arg.endStructure();
    image.rgba = QImage();
    return arg;
}

DBusDesktop::DBusDesktop(QImage icon, QObject* parent) : QObject(parent) {
    qDBusRegisterMetaType<NotificationImage>();
    if (!icon.isNull())
        m_icon = icon.scaled(kIconSide, kIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGBA8888);
}

DBusDesktop::~DBusDesktop() {
    ReleaseSleepLock();
}

void DBusDesktop::HoldSleepLock(const std::string& why) {
    ReleaseSleepLock();
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "Inhibit");
    call << QStringLiteral("sleep:idle") << QStringLiteral("Pomvex") << FromCp932(why)
         << QStringLiteral("block");
    m_inhibit = std::make_unique<QDBusPendingCallWatcher>(bus.asyncCall(call, kInhibitTimeoutMs));
    connect(m_inhibit.get(), &QDBusPendingCallWatcher::finished, this,
            &DBusDesktop::OnInhibitReply);
}

void DBusDesktop::OnInhibitReply(QDBusPendingCallWatcher* call) {
    if (call != m_inhibit.get()) return;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    // A refusal, no logind, or a bus that cannot pass descriptors: no lock, and nothing to say.
    if (reply.isError() || !reply.value().isValid()) return;
    m_lock = reply.value();
}

void DBusDesktop::ReleaseSleepLock() {
    // Both copies of the descriptor go: ours and the one in the reply.
    m_lock = QDBusUnixFileDescriptor();
    m_inhibit.reset();
}

void DBusDesktop::Notify(const std::string& title, const std::string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                       "/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "Notify");
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("pomvex"));
    if (!m_icon.isNull())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(NotificationImage{m_icon}));
    call << QStringLiteral("Pomvex") << 0u << QStringLiteral("pomvex") << FromCp932(title)
         << FromCp932(body) << QStringList() << hints << -1;
    // Sent without waiting for the reply (the notification's id, which nothing needs).
    bus.send(call);
}

void DBusDesktop::RequestPower(PowerAction action,
                               std::function<void(bool, const std::string&)> done) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(false, Str(Sid::NoPowerService));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
        action == PowerAction::Suspend ? "Suspend" : "PowerOff");
    call << false;  // not interactive: nobody is there to answer a password prompt
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kInhibitTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<> reply = *w;
                if (!reply.isError()) return done(true, {});
                // The service's words, shown as a server's are: one line, no controls.
                const QString words = reply.error().name() + ": " + reply.error().message();
                done(false, text::ShownServerText(words.toStdString()));
            });
}
