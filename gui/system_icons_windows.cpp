// Icons and type names from the Windows shell.
#include "gui/system_icons.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>

#include <windows.h>

#include <shellapi.h>

namespace korvane {

namespace {

std::wstring Native(const QString& file) {
    return QDir::toNativeSeparators(file).toStdWString();
}

bool HoldsIcons(const QString& file) {
    const QString ext = QFileInfo(file).suffix().toLower();
    return ext == QLatin1String("exe") || ext == QLatin1String("dll") ||
           ext == QLatin1String("icl") || ext == QLatin1String("cpl");
}

// The icon handle's picture, the handle given back.
QIcon FromHandle(HICON handle) {
    if (!handle) {
        return {};
    }
    const QImage image = QImage::fromHICON(handle);
    DestroyIcon(handle);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

} // namespace

std::optional<int> SystemIconCount(const QString& file) {
    if (!HoldsIcons(file)) {
        return std::nullopt;
    }
    const UINT count = ExtractIconExW(Native(file).c_str(), -1, nullptr, nullptr, 0);
    return static_cast<int>(count);
}

QIcon SystemIcon(const QString& file, int index) {
    HICON large = nullptr;
    if (index < 0 || ExtractIconExW(Native(file).c_str(), index, &large, nullptr, 1) == 0 ||
        !large) {
        return {};
    }
    return FromHandle(large);
}

QIcon SystemFileIcon(const QString& file) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(Native(file).c_str(), 0, &info, sizeof info,
                        SHGFI_ICON | SHGFI_LARGEICON)) {
        return {};
    }
    return FromHandle(info.hIcon);
}

QString SystemTypeName(const QString& file) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(Native(file).c_str(), 0, &info, sizeof info, SHGFI_TYPENAME)) {
        return {};
    }
    return QString::fromWCharArray(info.szTypeName);
}

} // namespace korvane
