#include "editor/file_properties.h"

#include "shell/shell.h"
#include "store/utf8.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QUrl>

namespace korvane {

void ShowFileProperties(const std::filesystem::path& file) {
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()) {
        const auto registered = bus.interface()->isServiceRegistered(service);
        const auto activatable = bus.interface()->activatableServiceNames();
        if ((registered.isValid() && registered.value()) ||
            (activatable.isValid() && activatable.value().contains(service))) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                service, QStringLiteral("/org/freedesktop/FileManager1"), service,
                QStringLiteral("ShowItemProperties"));
            const QString local = QString::fromStdString(utf8::FromPath(file));
            call << QStringList{QUrl::fromLocalFile(local).toString()} << QString();
            bus.asyncCall(call);
            return;
        }
    }
    // No file manager to ask: show the item's folder instead.
    shell::ShellOpen(file.parent_path(), "", file.parent_path());
}

} // namespace korvane
