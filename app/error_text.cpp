#include "app/error_text.h"

#include <cstdio>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace korvane {

std::string WithFullStop(std::string message) {
    if (message.empty()) {
        return message;
    }
    char last = message.back();
    // A message ending in a quoted name or a bracket still ends a sentence.
    if ((last == '"' || last == ')') && message.size() > 1) {
        last = message[message.size() - 2];
        if (last != '.' && last != '!' && last != '?') {
            message += '.';
        }
        return message;
    }
    if (static_cast<unsigned char>(last) > '.') {
        message += '.';
    }
    return message;
}

std::string FatalErrorText(const std::exception& error, const std::string& module) {
    const char* mangled = typeid(error).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string type = status == 0 && demangled ? demangled.get() : mangled;
    if (const auto colon = type.rfind("::"); colon != std::string::npos) {
        type = type.substr(colon + 2);
    }
    char address[32];
    std::snprintf(address, sizeof address, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&error)));
    return "Exception " + type + " in module " + module + " at " + address + ".\n" +
           WithFullStop(error.what());
}

} // namespace korvane
