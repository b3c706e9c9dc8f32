// Whether two folders of rendered pictures hold the same pictures: the same
// files, each image the same size, every pixel within a small tolerance.
// Anti-aliased edges differ in their last bits between processors, so a
// byte-for-byte comparison would fail on some machines.
//   pictures_match FRESH_DIR COMMITTED_DIR
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kTolerance = 24; // of 255, per channel

QList<QImage> Images(const QString& file) {
    QImageReader reader(file);
    QList<QImage> images;
    do {
        QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        images << image.convertToFormat(QImage::Format_RGBA8888);
    } while (reader.jumpToNextImage());
    return images;
}

bool Close(const QImage& a, const QImage& b, QString& why) {
    if (a.size() != b.size()) {
        why = QStringLiteral("sizes differ");
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pb = b.constScanLine(y);
        for (int x = 0; x < a.width() * 4; ++x) {
            if (std::abs(pa[x] - pb[x]) > kTolerance) {
                why = QStringLiteral("pixel (%1, %2) differs").arg(x / 4).arg(y);
                return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: pictures_match FRESH_DIR COMMITTED_DIR\n");
        return 2;
    }
    const QDir fresh(QString::fromLocal8Bit(argv[1]));
    const QDir committed(QString::fromLocal8Bit(argv[2]));
    const QStringList names = committed.entryList(QDir::Files, QDir::Name);
    int faults = 0;
    if (fresh.entryList(QDir::Files, QDir::Name) != names) {
        std::fprintf(stderr, "the folders hold different files\n");
        ++faults;
    }
    for (const QString& name : names) {
        const QList<QImage> a = Images(fresh.filePath(name));
        const QList<QImage> b = Images(committed.filePath(name));
        QString why;
        if (a.isEmpty() || a.size() != b.size()) {
            why = QStringLiteral("not the same number of pictures");
        } else {
            for (int i = 0; i < a.size() && why.isEmpty(); ++i) {
                Close(a[i], b[i], why);
            }
        }
        if (!why.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(why));
            ++faults;
        }
    }
    if (faults == 0) {
        std::printf("the PNG pictures are up to date (%lld files)\n",
                    static_cast<long long>(names.size()));
    }
    return faults == 0 ? 0 : 1;
}
