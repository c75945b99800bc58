#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "formats/text.hpp"

// Making short codes unique within a table. Every code the export writes has
// at most kCodeWidth characters, so that it reads back from its field as written.
namespace thp::exporter {

inline constexpr std::size_t kCodeWidth = 10;

// The first n characters of code, without the blanks a cut may leave at its
// end: the field reads back right-trimmed, so a kept blank would make two codes
// that differ only there read back alike.
std::string cut(std::string_view code, std::size_t n);

// The first 8 and the last 2 characters of a code longer than 10.
std::string firstEightLastTwo(std::string_view code);

// The numbered candidate k for a code: its first `keep` characters (fewer when
// the number needs the room) followed by k, never more than kCodeWidth in all.
std::string numbered(std::string_view code, std::size_t keep, unsigned long k);

// The codes written to one table, compared exactly or without regard to case.
// Numbering resumes where the last search with the same stem stopped, since a
// code once taken stays taken: a run of equal codes costs linear time.
template <typename Hash, typename Equal>
class CodeRegistry {
 public:
  bool contains(std::string_view code) const { return codes_.find(code) != codes_.end(); }
  void add(std::string code) { codes_.insert(std::move(code)); }

  // The first k = 1, 2, … for which numbered(code, keep, k) is free.
  unsigned long firstFreeNumber(std::string_view code, std::size_t keep) {
    const std::string stem = std::to_string(keep) + '|' + std::string(text::left(code, keep));
    unsigned long& k = next_.try_emplace(stem, 1).first->second;
    while (contains(numbered(code, keep, k))) ++k;
    return k;
  }

  std::string firstFreeNumbered(std::string_view code, std::size_t keep) {
    return numbered(code, keep, firstFreeNumber(code, keep));
  }

 private:
  std::unordered_set<std::string, Hash, Equal> codes_;
  std::unordered_map<std::string, unsigned long, Hash, Equal> next_;
};

using ExactCodes = CodeRegistry<text::StringHash, std::equal_to<>>;
using CaseInsensitiveCodes = CodeRegistry<text::CaseInsensitiveHash, text::CaseInsensitiveEqual>;

}  // namespace thp::exporter
