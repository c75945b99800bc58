#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text helpers. Values from the exchange document arrive as UTF-8; the timetable
// tables hold Windows-1252 bytes, the code page the timetabling program reads.
namespace thp::text {

// UTF-8 to Windows-1252; a character the code page lacks becomes '?'.
// Malformed UTF-8 sequences become '?' as well.
std::string toCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. The five unassigned bytes map to the C1 controls of the
// same code, as Windows does.
std::string fromCp1252(std::string_view cp1252);

// Removes the characters of code 0 to 32 at both ends.
std::string_view trim(std::string_view value);

// Removes blanks (and NULs, as dBase pads with either) at the end only.
inline std::string_view trimRight(std::string_view value) {
  std::size_t end = value.size();
  while (end > 0 && (value[end - 1] == ' ' || value[end - 1] == '\0')) --end;
  return value.substr(0, end);
}

// Upper-case of a Windows-1252 letter, accented ones included; other bytes unchanged.
char upperCp1252(char c);
std::string upperCp1252(std::string_view value);

// ASCII-only lower-casing, for command words.
std::string lowerAscii(std::string_view value);

bool equalsIgnoreCaseCp1252(std::string_view a, std::string_view b);

// Hash and equality for sets keyed on Windows-1252 text compared without regard to case.
struct CaseInsensitiveHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view value) const noexcept;
};
struct CaseInsensitiveEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    return equalsIgnoreCaseCp1252(a, b);
  }
};

// Hash for exact, transparent string lookups.
struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view value) const noexcept {
    return std::hash<std::string_view>{}(value);
  }
};

// The first n bytes of value (all of it when shorter).
inline std::string_view left(std::string_view value, std::size_t n) { return value.substr(0, n); }

}  // namespace thp::text
