#pragma once

#include <stdexcept>
#include <string>

namespace korvane {

// Errors that reach the user's error report. The message is shown as it stands.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file the program keeps could not be written ("Unable to write to %s").
class WriteError : public Error {
  public:
    using Error::Error;
};

// Text that does not convert to the value asked for ("'%s' is not a valid time").
class ConvertError : public Error {
  public:
    using Error::Error;
};

// A value that cannot be stored without damaging the file (a line break, say).
class ValueError : public Error {
  public:
    using Error::Error;
};

} // namespace korvane
