#include "gui/icons.h"

#include "gui/system_icons.h"

#include "shell/icon_source.h"
#include "shell/shell.h"
#include "store/utf8.h"

#include <QDateTime>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace korvane {

namespace {

constexpr int kIconSize = 32;

// A picture brought to 32 x 32, the size of every batch image: scaled up or
// down with its aspect kept, the rest left transparent. Lists with uniform
// rows then never cut or overlap one batch's icon with another's.
QIcon Icon32(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    QImage scaled =
        image.size() == QSize(kIconSize, kIconSize)
            ? image
            : image.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (scaled.size() != QSize(kIconSize, kIconSize)) {
        QImage canvas(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        p.drawImage((kIconSize - scaled.width()) / 2, (kIconSize - scaled.height()) / 2, scaled);
        p.end();
        scaled = canvas;
    }
    return QIcon(QPixmap::fromImage(scaled));
}

QIcon Icon32(const QIcon& icon) {
    return icon.isNull() ? QIcon() : Icon32(icon.pixmap(QSize(kIconSize, kIconSize)).toImage());
}

// An icon named by a desktop entry or a link: a file, or a name of the icon theme.
QIcon ThemeIcon(const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    if (QFileInfo(name).isAbsolute()) {
        // Only a regular file is read: a named pipe would never answer.
        return QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    }
    return QIcon::fromTheme(name);
}

// A bare name (no folder part) that is no file stands for an icon of the theme.
bool IsThemeName(const QString& source) {
    return !source.contains(QLatin1Char('/')) && !source.contains(QLatin1Char('\\')) &&
           !QFileInfo::exists(source);
}

QString Resolved(const QString& stored) {
    return QString::fromStdString(shell::ResolveIconSource(stored.toStdString()));
}

// The images of an icon file, grouped into icons. One file usually holds one
// picture at several sizes (16, 32, 48 px): that is one icon. A collection
// holds several pictures of one size: one icon each. So icon k is made of
// the k-th image of every size, and there are as many icons as the most
// common size has images.
struct IcoFile {
    QString path;
    QDateTime modified;
    qint64 size = -1;
    std::vector<QImage> images;
    std::vector<std::vector<int>> icons; // image numbers of each icon
};

const IcoFile& ReadIco(const QString& path) {
    static IcoFile last;
    const QFileInfo info(path);
    if (last.path == path && last.modified == info.lastModified() && last.size == info.size()) {
        return last;
    }
    last = IcoFile{path, info.lastModified(), info.size(), {}, {}};
    QImageReader reader(path);
    const int count = std::max(1, reader.imageCount());
    std::map<std::pair<int, int>, int> seen; // size -> images of it so far
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) {
            break;
        }
        QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        const int k = seen[{image.width(), image.height()}]++;
        if (k >= static_cast<int>(last.icons.size())) {
            last.icons.resize(k + 1);
        }
        last.icons[k].push_back(static_cast<int>(last.images.size()));
        last.images.push_back(std::move(image));
    }
    return last;
}

// The image of an icon that draws best at 32 px: 32 itself, else the
// smallest larger one, else the largest.
const QImage& BestFor32(const IcoFile& ico, const std::vector<int>& images) {
    const QImage* best = &ico.images[images.front()];
    const auto score = [](const QImage& im) {
        const int side = std::max(im.width(), im.height());
        return side == kIconSize ? 0 : side > kIconSize ? side : 100000 - side;
    };
    for (const int i : images) {
        if (score(ico.images[i]) < score(*best)) {
            best = &ico.images[i];
        }
    }
    return *best;
}

bool IsIcoFormat(QImageReader& reader) {
    const QByteArray format = reader.format().toLower();
    return format == "ico" || format == "cur";
}

// An icon worked out when it is first drawn. A list shows its rows at once
// and only the rows on screen pay for the icon theme's search and the files'
// reading, after the window is up. Copies share the one icon made.
class DeferredIconEngine : public QIconEngine {
  public:
    explicit DeferredIconEngine(std::function<QIcon()> make)
        : state_(std::make_shared<State>(State{std::move(make), {}})) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Made().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Made().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Made().pixmap(size, scale, mode, state);
    }
    // Asked when rows are laid out; every icon made here is square and
    // fills the size asked for, so the answer needs no making.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Made().availableSizes(mode, state);
    }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("korvane-deferred"); }
    bool isNull() override { return false; } // the makers fall back to a picture

  private:
    struct State {
        std::function<QIcon()> make;
        QIcon icon;
    };
    const QIcon& Made() {
        if (state_->make) {
            state_->icon = std::exchange(state_->make, nullptr)();
        }
        return state_->icon;
    }
    std::shared_ptr<State> state_;
};

} // namespace

QIcon Deferred(std::function<QIcon()> make) {
    return QIcon(new DeferredIconEngine(std::move(make)));
}

namespace {

QIcon ReadProgramPicture(const QString& name) {
    // A Qt without its SVG plugin (Qt for MinGW, say) gets the same pictures
    // drawn at the sizes the windows use.
    // Asked of one picture: the list of image formats would load every
    // image plugin there is, at every start.
    static const bool svg =
        !QIcon(QStringLiteral(":/pictures/korvane.svg")).pixmap(QSize(16, 16)).isNull();
    if (svg) {
        return QIcon(QStringLiteral(":/pictures/") + name + QStringLiteral(".svg"));
    }
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/pictures/png/%1-%2.png").arg(name).arg(size));
    }
    return icon;
}

} // namespace

QIcon ProgramPicture(const char* name) {
    // Read when first drawn: laying out a tool bar of them then reads no
    // picture, and the window shows before any is parsed.
    return Deferred([name = QString::fromLatin1(name)] { return ReadProgramPicture(name); });
}

QIcon ProductIcon() {
    static const QIcon icon = ProgramPicture("korvane");
    return icon;
}

QIcon DefaultBatchIcon() {
    // The program's own, whatever the theme: a theme's folder picture would
    // read as "open a folder".
    static const QIcon icon = Deferred([] { return Icon32(ProductIcon()); });
    return icon;
}

QIcon ExtractIcon(const QString& stored, int index) {
    const QString file = Resolved(stored);
    if (file.isEmpty()) {
        return {};
    }
    if (!QFileInfo::exists(file)) {
        return index == 0 && IsThemeName(file) ? Icon32(QIcon::fromTheme(file)) : QIcon();
    }
    if (!QFileInfo(file).isFile()) {
        return {}; // a folder, a named pipe, a device: no icon is read from one
    }
    const QString lower = file.toLower();
    const bool link =
        lower.endsWith(QLatin1String(".desktop")) || lower.endsWith(QLatin1String(".lnk"));
    if (link && index != 0) {
        return {}; // an entry or a link names one icon
    }
    if (lower.endsWith(QLatin1String(".desktop"))) {
        return Icon32(ThemeIcon(
            QString::fromStdString(shell::ReadLinkIconLocation(utf8::ToPath(file.toStdString())))));
    }
    if (lower.endsWith(QLatin1String(".lnk"))) {
        const QString icon =
            QString::fromStdString(shell::ReadLinkIconLocation(utf8::ToPath(file.toStdString())));
        return icon.isEmpty() || icon == file ? QIcon() : ExtractIcon(icon, 0);
    }
    if (index < 0) {
        return {};
    }
    // Programs and libraries hold icons the system reads (Windows).
    if (const auto count = SystemIconCount(file)) {
        return index < *count ? Icon32(SystemIcon(file, index)) : QIcon();
    }
    QImageReader reader(file);
    if (!reader.canRead()) {
        // Not a picture: the icon of its type stands for it.
        return index == 0 ? Icon32(FileTypeIcon(file)) : QIcon();
    }
    if (IsIcoFormat(reader)) {
        const IcoFile& ico = ReadIco(file);
        if (index >= static_cast<int>(ico.icons.size())) {
            return {};
        }
        return Icon32(BestFor32(ico, ico.icons[index]));
    }
    if (index >= std::max(1, reader.imageCount()) || (index > 0 && !reader.jumpToImage(index))) {
        return {};
    }
    return Icon32(reader.read());
}

int IconCount(const QString& stored) {
    const QString file = Resolved(stored);
    if (file.isEmpty()) {
        return 0;
    }
    if (!QFileInfo::exists(file)) {
        return IsThemeName(file) && QIcon::hasThemeIcon(file) ? 1 : 0;
    }
    if (!QFileInfo(file).isFile()) {
        return 0;
    }
    if (const auto count = SystemIconCount(file)) {
        return *count;
    }
    QImageReader reader(file);
    if (reader.canRead()) {
        return IsIcoFormat(reader) ? static_cast<int>(ReadIco(file).icons.size())
                                   : std::max(1, reader.imageCount());
    }
    return ExtractIcon(file, 0).isNull() ? 0 : 1;
}

QString DefaultIconLibrary() {
    return QString::fromStdString(shell::ResolveIconSource(shell::kIconCollection));
}

QIcon BatchIcons::For(const std::string& iconFile, int iconIndex) {
    if (iconFile.empty()) {
        return DefaultBatchIcon();
    }
    auto [it, fresh] = cache_.try_emplace({iconFile, iconIndex});
    if (fresh) {
        it->second = Deferred([file = QString::fromStdString(iconFile), iconIndex] {
            const QIcon icon = ExtractIcon(file, iconIndex);
            return icon.isNull() ? DefaultBatchIcon() : icon;
        });
    }
    return it->second;
}

QIcon MenuEntryIcon(const QString& icon) {
    QIcon found = ThemeIcon(icon);
    return found.isNull() ? ProgramPicture("executable") : found;
}

QIcon ItemIcons::For(const ApplicationRow& row) {
    if (row.file.empty()) {
        return ProgramPicture("document");
    }
    auto [it, fresh] = cache_.try_emplace(std::tuple(row.iconFile, row.iconIndex, row.LookupKey()));
    if (fresh) {
        it->second =
            Deferred([iconFile = QString::fromStdString(row.iconFile), index = row.iconIndex,
                      target = QString::fromStdString(row.LookupKey())] {
                QIcon icon;
                if (!iconFile.isEmpty()) {
                    icon = ExtractIcon(iconFile, index);
                }
                if (icon.isNull()) {
                    icon = FileTypeIcon(target);
                }
                return icon.isNull() ? ProgramPicture("document") : icon; // never a row without one
            });
    }
    return it->second;
}

QIcon FileTypeIcon(const QString& file) {
    const QString lower = file.toLower();
    if (lower.endsWith(QLatin1String(".desktop")) || lower.endsWith(QLatin1String(".lnk"))) {
        QIcon own = ExtractIcon(file, 0);
        if (!own.isNull()) {
            return own;
        }
    }
    // Where the shell knows it (Windows: a program's own icon).
    if (QIcon shown = SystemFileIcon(file); !shown.isNull()) {
        return shown;
    }
    static QMimeDatabase db;
    const QFileInfo info(file);
    if (info.isDir()) {
        const QIcon themed = QIcon::fromTheme(QStringLiteral("folder"));
        return themed.isNull() ? ProgramPicture("folder") : themed;
    }
    const QMimeType type = db.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(type.genericIconName());
    }
    if (icon.isNull()) {
        const bool program = type.inherits(QStringLiteral("application/x-executable")) ||
                             type.inherits(QStringLiteral("application/x-shellscript")) ||
                             (info.isFile() && info.isExecutable());
        icon = ProgramPicture(program ? "executable" : "document");
    }
    return icon;
}

} // namespace korvane
