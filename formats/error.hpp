#pragma once

#include <stdexcept>
#include <string>

namespace thp {

// An error whose message (UTF-8, Spanish) is shown to the user as it stands.
// A message may quote a value from a damaged file: its control characters
// other than tab and line ends show as '?', since what() would end at a NUL
// and lose the rest of the message, the file's name with it.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(printable(message)) {}

 private:
  static std::string printable(std::string message) {
    for (char& c : message) {
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F) c = '?';
    }
    return message;
  }
};

}  // namespace thp
