#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "formats/exchange_sections.hpp"

namespace thp::exporter {

// An element of the exchange document that got no record, or got a code other
// than its own: what an office wants to check after an export.
struct Notice {
  exchange::Section section;
  std::size_t position;    // 1-based, within the section's items in document order
  std::string identifier;  // the item's own code or identifier (UTF-8)
  std::string message;     // what happened (UTF-8, Spanish)
};

// The six tables in the order the export writes them.
enum TableId : std::size_t {
  kAsignomt,
  kProft,
  kAulat,
  kGrupost,
  kDiashorast,
  kAsigt,
  kTableCount
};

struct ExportReport {
  std::array<std::size_t, kTableCount> records{};  // records written per table
  std::vector<Notice> notices;

  void note(exchange::Section section, std::size_t index, std::string identifier,
            std::string message) {
    notices.push_back({section, index + 1, std::move(identifier), std::move(message)});
  }
};

}  // namespace thp::exporter
