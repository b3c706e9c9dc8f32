// What the end-to-end session on Windows asks of the system from inside
// Wine, through the program's own shell layer:
//   windows_helper link TARGET FOLDER   a shell link to TARGET in FOLDER
//   windows_helper desktop              prints the user's desktop folder (Unix path)
//   windows_helper run-value            prints the logon Run value ("" for none)
#include "shell/shell.h"
#include "store/utf8.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string UnixPath(const std::filesystem::path& path) {
    // Wine's own conversion: the script works with the Unix side's files.
    using Convert = char*(__cdecl*)(LPCWSTR);
    const auto convert = reinterpret_cast<Convert>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!convert) {
        return korvane::utf8::FromPath(path);
    }
    char* unix = convert(std::filesystem::path(path).make_preferred().c_str());
    const std::string text = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    namespace shell = korvane::shell;
    const auto arguments = shell::ProgramArguments(argc, argv);
    const std::string verb = arguments.empty() ? "" : arguments[0];
    if (verb == "link" && arguments.size() == 3) {
        shell::CreateItemLink(korvane::utf8::ToPath(arguments[1]),
                              korvane::utf8::ToPath(arguments[2]));
    } else if (verb == "desktop") {
        std::printf("%s\n", UnixPath(shell::DesktopFolder()).c_str());
    } else if (verb == "run-value") {
        std::printf("%s\n", shell::ReadAutostartCommand().c_str());
    } else {
        std::fprintf(stderr, "usage: windows_helper link|desktop|run-value ...\n");
        return 2;
    }
    return 0;
}
