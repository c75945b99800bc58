#include "numbers.hpp"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>

#include "error.hpp"
#include "text.hpp"

namespace thp::numbers {
namespace {

[[noreturn]] void throwNotInteger(std::string_view text) {
  throw Error("'" + text::fromCp1252(text) + "' no es un valor entero válido");
}

[[noreturn]] void throwNotFloat(std::string_view text) {
  throw Error("'" + text::fromCp1252(text) + "' no es un valor punto flotante válido");
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

char localeDecimalSeparator() {
  // Read the user's numeric locale without leaving it set: the rest of the
  // program formats and parses in the C locale.
  const char* current = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conv = std::localeconv();
    if (conv != nullptr && conv->decimal_point != nullptr && conv->decimal_point[0] != '\0')
      separator = conv->decimal_point[0];
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
  return separator;
}

bool tryToInt(std::string_view s, std::int32_t& value) {
  std::size_t pos = 0;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
  if (pos >= s.size()) return false;
  if (s[pos] == '$') {
    ++pos;
    const std::size_t digits = s.size() - pos;
    if (digits == 0 || digits > 8) return false;
    std::uint32_t result = 0;
    for (; pos < s.size(); ++pos) {
      const int d = hexDigit(s[pos]);
      if (d < 0) return false;
      result = (result << 4) | static_cast<std::uint32_t>(d);
    }
    if (negative) result = 0u - result;
    value = static_cast<std::int32_t>(result);  // hexadecimal covers all 32 bits
    return true;
  }
  std::int64_t result = 0;
  const std::size_t first = pos;
  for (; pos < s.size(); ++pos) {
    if (!isDigit(s[pos])) return false;
    result = result * 10 + (s[pos] - '0');
    if (result > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return false;
  }
  if (pos == first) return false;
  if (negative) result = -result;
  if (result > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(result);
  return true;
}

std::int32_t toInt(std::string_view cp1252) {
  std::int32_t value = 0;
  if (!tryToInt(cp1252, value)) throwNotInteger(cp1252);
  return value;
}

double toDouble(std::string_view cp1252, char decimalSeparator) {
  const std::string_view s = text::trim(cp1252);
  // Rewrite into the C form that from_chars reads, checking the shape on the way.
  std::string plain;
  plain.reserve(s.size());
  std::size_t pos = 0;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    if (s[pos] == '-') plain.push_back('-');
    ++pos;
  }
  bool digits = false;
  bool separator = false;
  for (; pos < s.size(); ++pos) {
    const char c = s[pos];
    if (isDigit(c)) {
      digits = true;
      plain.push_back(c);
    } else if (c == decimalSeparator && !separator) {
      separator = true;
      plain.push_back('.');
    } else {
      break;
    }
  }
  if (!digits) throwNotFloat(cp1252);
  if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
    plain.push_back('e');
    ++pos;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) plain.push_back(s[pos++]);
    const std::size_t exponentStart = pos;
    while (pos < s.size() && isDigit(s[pos])) plain.push_back(s[pos++]);
    if (pos == exponentStart) throwNotFloat(cp1252);
  }
  if (pos != s.size()) throwNotFloat(cp1252);
  double value = 0;
  const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc{} || end != plain.data() + plain.size() || !std::isfinite(value))
    throwNotFloat(cp1252);
  return value;
}

std::string formatFixed(double value, int decimals, char decimalSeparator) {
  // A whole number below 2^53 is exact as an integer: its digits, then the
  // separator and zeros, as the general form below would write it.
  constexpr double kExactLimit = 9007199254740992.0;
  if (decimals >= 0 && decimals <= 32 && std::fabs(value) < kExactLimit &&
      value == std::trunc(value) && !(value == 0 && std::signbit(value))) {
    char digits[24];
    const auto whole = static_cast<std::int64_t>(value);
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, whole);
    std::string out(digits, ec == std::errc{} ? end : digits);
    if (decimals > 0) {
      out += decimalSeparator;
      out.append(static_cast<std::size_t>(decimals), '0');
    }
    return out;
  }
  // Room for the largest double in fixed notation; a short number is formatted
  // without allocating that room.
  const std::size_t room = 400 + static_cast<std::size_t>(decimals < 0 ? 0 : decimals);
  char small[64];
  std::string large;
  char* begin = small;
  char* limit = small + sizeof small;
  auto result = std::to_chars(begin, limit, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) {
    large.assign(room, '\0');
    begin = large.data();
    limit = begin + large.size();
    result = std::to_chars(begin, limit, value, std::chars_format::fixed, decimals);
  }
  std::string out(begin, result.ec == std::errc{} ? result.ptr : begin);
  for (char& c : out)
    if (c == '.') c = decimalSeparator;
  return out;
}

std::string formatShortest(double value, char decimalSeparator) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string out(buffer, ec == std::errc{} ? end : buffer);
  for (char& c : out)
    if (c == '.') c = decimalSeparator;
  return out;
}

}  // namespace thp::numbers
