#pragma once

namespace korvane::shell {

// dlopen()s one of the program's own modules: the one beside the running
// executable (a portable copy), else the one in the folder the build put it
// in (the build tree, or the private library folder of an installation).
// nullptr when neither loads.
void* LoadModule(const char* fileName);

} // namespace korvane::shell
