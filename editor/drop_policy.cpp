#include "editor/drop_policy.h"

#include "store/utf8.h"

namespace fs = std::filesystem;

namespace korvane {

Qt::DropAction ItemDropAction(Qt::DropActions offered) {
    if (offered & Qt::CopyAction) {
        return Qt::CopyAction;
    }
    return offered & Qt::LinkAction ? Qt::LinkAction : Qt::IgnoreAction;
}

bool IsItemDrag(const QMimeData* data) {
    return data && data->hasFormat(QStringLiteral("application/x-qabstractitemmodeldatalist"));
}

std::vector<fs::path> LocalFiles(const QMimeData* data) {
    std::vector<fs::path> files;
    if (!data || !data->hasUrls()) {
        return files;
    }
    for (QByteArray line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        // file:///path or file://localhost/path; other hosts are not here.
        const QByteArray scheme = "file://";
        if (!line.toLower().startsWith(scheme)) {
            continue;
        }
        QByteArray rest = line.mid(scheme.size());
        const int slash = rest.indexOf('/');
        const QByteArray host = slash < 0 ? rest : rest.left(slash);
        if (slash < 0 || (!host.isEmpty() && host.toLower() != "localhost")) {
            continue;
        }
        const QByteArray bytes = QByteArray::fromPercentEncoding(rest.mid(slash));
        std::string_view path(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        // "file:///C:/dir" names C:/dir where paths begin with a drive.
        if (path.size() > 1 && utf8::ToPath(path.substr(1)).is_absolute()) {
            path.remove_prefix(1);
        }
        files.push_back(utf8::ToPath(path));
    }
    return files;
}

} // namespace korvane
