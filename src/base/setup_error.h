// The program's one error type: raised by parsers of untrusted input and by
// internal guards, caught once by the stage guards that report it.
#pragma once

#include <stdexcept>
#include <string>

namespace ferry {

class SetupError : public std::runtime_error {
 public:
  explicit SetupError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace ferry
