#include "editor/file_properties.h"

#include <windows.h>

#include <shellapi.h>

namespace korvane {

void ShowFileProperties(const std::filesystem::path& file) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"properties";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info);
}

} // namespace korvane
