#include "app/program.h"
#include "app/window_layer.h"
#include "shell/shell.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = korvane::shell::ProgramArguments(argc, argv);
    return korvane::RunProgram(arguments, korvane::GetWindowLayer(argc, argv));
}
