#pragma once
// The small failure vocabulary shared by every layer. An AppError carries the
// exact text the user sees in the standard error box.
#include <stdexcept>
#include <string>

namespace aktarim {

enum class ErrorKind {
    Conversion,  // text that is not an integer
    Io,          // a file that could not be opened, written, synced or renamed
    Terminal,    // the terminal link itself failed (not a false result)
    Range,       // a row or index that does not exist
    Usage,       // a refused user action with a message of its own
    Busy,        // another transfer holds the transfer lock
};

class AppError : public std::runtime_error {
  public:
    AppError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

}  // namespace aktarim
