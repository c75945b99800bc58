#include "text.hpp"

#include <array>
#include <cstdint>

namespace thp::text {
namespace {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int cp1252FromCodePoint(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == cp) return static_cast<int>(0x80 + i);
  return -1;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at value[pos]; returns the code point, or -1 when
// malformed, and advances pos past what was consumed.
long decodeUtf8(std::string_view value, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(value[pos++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return -1;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= value.size()) return -1;
    const auto next = static_cast<unsigned char>(value[pos]);
    if ((next & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (next & 0x3F);
    ++pos;
  }
  return static_cast<long>(cp);
}

}  // namespace

std::string toCp1252(std::string_view utf8) {
  // ASCII, the usual case, is the same in both: copied whole up to the first
  // byte beyond it.
  std::size_t pos = 0;
  while (pos < utf8.size() && static_cast<unsigned char>(utf8[pos]) < 0x80) ++pos;
  if (pos == utf8.size()) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  out.append(utf8.substr(0, pos));
  while (pos < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[pos]);
    if (c < 0x80) {  // fast path for ASCII
      out.push_back(static_cast<char>(c));
      ++pos;
      continue;
    }
    const long cp = decodeUtf8(utf8, pos);
    const int byte = cp < 0 ? -1 : cp1252FromCodePoint(static_cast<char32_t>(cp));
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return out;
}

std::string fromCp1252(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 4);
  for (char ch : cp1252) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      out.push_back(ch);
    else if (c < 0xA0)
      appendUtf8(out, kHighControls[c - 0x80]);
    else
      appendUtf8(out, c);
  }
  return out;
}

std::string_view trim(std::string_view value) {
  std::size_t begin = 0;
  std::size_t end = value.size();
  while (begin < end && static_cast<unsigned char>(value[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(value[end - 1]) <= 32) --end;
  return value.substr(begin, end - begin);
}

char upperCp1252(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 32);
  switch (c) {
    case 0x9A:
      return static_cast<char>(0x8A);  // š
    case 0x9C:
      return static_cast<char>(0x8C);  // œ
    case 0x9E:
      return static_cast<char>(0x8E);  // ž
    case 0xFF:
      return static_cast<char>(0x9F);  // ÿ
    default:
      return ch;
  }
}

std::string upperCp1252(std::string_view value) {
  std::string out(value);
  for (char& c : out) c = upperCp1252(c);
  return out;
}

std::string lowerAscii(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

bool equalsIgnoreCaseCp1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upperCp1252(a[i]) != upperCp1252(b[i])) return false;
  return true;
}

std::size_t CaseInsensitiveHash::operator()(std::string_view value) const noexcept {
  std::uint64_t h = 1469598103934665603ULL;  // FNV-1a over the upper-cased bytes
  for (char c : value) {
    h ^= static_cast<unsigned char>(upperCp1252(c));
    h *= 1099511628211ULL;
  }
  return static_cast<std::size_t>(h);
}

}  // namespace thp::text
