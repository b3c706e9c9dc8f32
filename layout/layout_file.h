#pragma once

#include <QMetaProperty>
#include <QObject>

#include <filesystem>
#include <vector>

namespace korvane {

// The properties of an object that the layout file stores: the upper-case
// ones (the program's own), in declaration order, base classes first.
std::vector<QMetaProperty> PublishedProperties(const QObject& object);

// Writes every integer, enumeration and float published property of root
// (and, with includeOwned, of its named children) to section <root name>
// under the key <component name>.<property>.
void SaveLayout(const std::filesystem::path& file, QObject& root, bool includeOwned = false);

// Reads them back, writing a progress trace into "Debug-<name>" as it goes.
// Values that are absent, -999, not numbers or out of range change nothing.
void LoadLayout(const std::filesystem::path& file, QObject& root, bool includeOwned = false);

} // namespace korvane
