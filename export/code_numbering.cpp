#include "export/code_numbering.hpp"

namespace thp::exporter {

std::string cut(std::string_view code, std::size_t n) {
  std::string_view kept = text::left(code, n);
  while (!kept.empty() && kept.back() == ' ') kept.remove_suffix(1);
  return std::string(kept);
}

std::string firstEightLastTwo(std::string_view code) {
  return std::string(code.substr(0, 8)) + std::string(code.substr(code.size() - 2));
}

std::string numbered(std::string_view code, std::size_t keep, unsigned long k) {
  const std::string number = std::to_string(k);
  const std::size_t room = number.size() < kCodeWidth ? kCodeWidth - number.size() : 0;
  return std::string(text::left(code, std::min(keep, room))) + number;
}

}  // namespace thp::exporter
