#pragma once

#include <stdexcept>
#include <string>

namespace thp {

// An error whose message (UTF-8, Spanish) is shown to the user as it stands.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace thp
