#pragma once

#include <exception>
#include <string>

namespace korvane {

// The message with "." appended when its last character comes after "." in
// character order, or when it ends in a closing quote or bracket that does
// not follow a full stop, as every error report shows it.
std::string WithFullStop(std::string message);

// "Exception <type> in module <module> at <address>." and the message on the
// next line: the report of an error that ends a direct launch.
std::string FatalErrorText(const std::exception& error, const std::string& module);

} // namespace korvane
