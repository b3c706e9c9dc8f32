#include "layout/layout_file.h"

#include "store/ini_file.h"

#include <QMetaEnum>

namespace korvane {

namespace {

constexpr int kAbsent = -999;

enum class Kind { Ordinal, Float, Other };

Kind KindOf(const QMetaProperty& p) {
    if (p.isEnumType()) {
        return Kind::Ordinal;
    }
    switch (p.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        return Kind::Ordinal;
    case QMetaType::Double:
    case QMetaType::Float:
        return Kind::Float;
    default:
        return Kind::Other;
    }
}

std::string Name(const QObject& o) {
    return o.objectName().toStdString();
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

void Store(Pairs& out, QObject& c, bool includeOwned) {
    const std::string name = Name(c);
    if (name.empty()) {
        return;
    }
    const auto props = PublishedProperties(c);
    if (props.empty()) {
        return;
    }
    for (const QMetaProperty& p : props) {
        const std::string prop = p.name();
        if (prop == "Caption" || (name == "Form1" && prop == "Visible")) {
            continue;
        }
        const std::string key = name + "." + prop;
        switch (KindOf(p)) {
        case Kind::Ordinal:
            out.emplace_back(key, std::to_string(p.read(&c).toInt()));
            break;
        case Kind::Float:
            out.emplace_back(key, FormatReal(p.read(&c).toDouble()));
            break;
        case Kind::Other:
            break;
        }
    }
    if (includeOwned) {
        for (QObject* child : c.children()) {
            Store(out, *child, includeOwned);
        }
    }
}

// A stored ordinal that the property can hold.
bool Acceptable(const QMetaProperty& p, int v) {
    if (p.isEnumType()) {
        return p.enumerator().valueToKey(v) != nullptr;
    }
    if (p.metaType().id() == QMetaType::Bool) {
        return v == 0 || v == 1;
    }
    return true;
}

void Restore(TIniFile& ini, const std::string& section, QObject& c, bool includeOwned) {
    const std::string name = Name(c);
    const std::string trace = "Debug-" + name;
    auto mark = [&](const std::string& m) {
        ini.WriteText(trace, m, "Yes");
        ini.Flush();
    };
    mark("Mark1");
    if (name.empty()) {
        return;
    }
    mark("Mark2");
    const auto props = PublishedProperties(c);
    mark("Mark3");
    if (props.empty()) {
        return;
    }
    mark("Mark4");
    mark("Mark5");
    try {
        for (const QMetaProperty& p : props) {
            const std::string prop = p.name();
            if (prop == "Caption" || KindOf(p) != Kind::Ordinal) {
                continue;
            }
            mark("Mark5-" + prop);
            const int v = ini.ReadNumber(section, name + "." + prop, kAbsent);
            if (v != kAbsent && Acceptable(p, v)) {
                p.write(&c, v);
            }
        }
    } catch (...) {
        mark("Mark6");
        throw;
    }
    mark("Mark6");
    mark("Mark7");
    if (includeOwned) {
        mark("Mark8");
        for (QObject* child : c.children()) {
            Restore(ini, section, *child, includeOwned);
        }
        mark("Mark9");
    }
}

} // namespace

std::vector<QMetaProperty> PublishedProperties(const QObject& object) {
    std::vector<QMetaProperty> props;
    const QMetaObject* mo = object.metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        const char* n = p.name();
        if (n && n[0] >= 'A' && n[0] <= 'Z' && p.isReadable() && p.isWritable()) {
            props.push_back(p);
        }
    }
    return props;
}

void SaveLayout(const std::filesystem::path& file, QObject& root, bool includeOwned) {
    // One rewrite for the whole root rather than one per property.
    Pairs pairs;
    Store(pairs, root, includeOwned);
    TIniFile ini(file);
    ini.WriteTexts(Name(root), pairs);
}

void LoadLayout(const std::filesystem::path& file, QObject& root, bool includeOwned) {
    TIniFile ini(file);
    Restore(ini, Name(root), root, includeOwned);
}

} // namespace korvane
