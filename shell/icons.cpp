#include "shell/icons.h"

#include "shell/shell.h"
#include "store/utf8.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace korvane {

namespace {

QIcon ThemeIcon(const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    if (QFileInfo(name).isAbsolute()) {
        return QFileInfo::exists(name) ? QIcon(name) : QIcon();
    }
    return QIcon::fromTheme(name);
}

} // namespace

QIcon DefaultBatchIcon() {
    static const QIcon icon = [] {
        QIcon themed = QIcon::fromTheme(QStringLiteral("folder-open"));
        if (!themed.isNull()) {
            return themed;
        }
        // No icon theme installed: draw a simple stack of windows.
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colours[] = {QColor(0x3b, 0x6e, 0xa8), QColor(0x4f, 0x8f, 0xd6),
                                  QColor(0x7f, 0xb4, 0xf0)};
        for (int i = 0; i < 3; ++i) {
            p.setPen(QPen(QColor(0x1d, 0x3a, 0x5c), 1));
            p.setBrush(colours[i]);
            p.drawRoundedRect(QRectF(3 + i * 5, 3 + i * 5, 18, 16), 2, 2);
        }
        p.end();
        return QIcon(pm);
    }();
    return icon;
}

QIcon ExtractIcon(const QString& file, int index) {
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        return {};
    }
    const QString lower = file.toLower();
    const bool link =
        lower.endsWith(QLatin1String(".desktop")) || lower.endsWith(QLatin1String(".lnk"));
    if (link && index != 0) {
        return {}; // an entry or a link names one icon
    }
    if (lower.endsWith(QLatin1String(".desktop"))) {
        return ThemeIcon(
            QString::fromStdString(shell::ReadLinkIconLocation(utf8::ToPath(file.toStdString()))));
    }
    if (lower.endsWith(QLatin1String(".lnk"))) {
        const QString icon =
            QString::fromStdString(shell::ReadLinkIconLocation(utf8::ToPath(file.toStdString())));
        return icon.isEmpty() || icon == file ? QIcon() : ExtractIcon(icon, 0);
    }
    if (index < 0) {
        return {};
    }
    QImageReader reader(file);
    if (!reader.canRead()) {
        // Not a picture: the icon of its type stands for it.
        return index == 0 ? FileTypeIcon(file) : QIcon();
    }
    if (index >= std::max(1, reader.imageCount()) || (index > 0 && !reader.jumpToImage(index))) {
        return {};
    }
    const QImage image = reader.read();
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

int IconCount(const QString& file) {
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        return 0;
    }
    QImageReader reader(file);
    if (reader.canRead()) {
        return std::max(1, reader.imageCount());
    }
    return ExtractIcon(file, 0).isNull() ? 0 : 1;
}

QString DefaultIconLibrary() {
    return QString::fromStdString(
        utf8::FromPath(shell::ExecutablePath().parent_path() / "Icons" / "korvane.ico"));
}

QIcon BatchIcons::For(const std::string& iconFile, int iconIndex) {
    if (iconFile.empty()) {
        return DefaultBatchIcon();
    }
    auto [it, fresh] = cache_.try_emplace({iconFile, iconIndex});
    if (fresh) {
        it->second = ExtractIcon(QString::fromStdString(iconFile), iconIndex);
    }
    return it->second.isNull() ? DefaultBatchIcon() : it->second;
}

QIcon FileTypeIcon(const QString& file) {
    const QString lower = file.toLower();
    if (lower.endsWith(QLatin1String(".desktop")) || lower.endsWith(QLatin1String(".lnk"))) {
        QIcon own = ExtractIcon(file, 0);
        if (!own.isNull()) {
            return own;
        }
    }
    static QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    return icon;
}

} // namespace korvane
