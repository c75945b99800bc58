#include "export/sessions.hpp"

#include <cmath>
#include <limits>

#include "formats/error.hpp"
#include "formats/numbers.hpp"
#include "formats/text.hpp"

namespace thp::exporter {

Sessions sessionsFromHours(std::string_view text, char decimalSeparator) {
  const double read = numbers::toDouble(text, decimalSeparator);
  if (std::fabs(read) > double{std::numeric_limits<float>::max()})
    throw Error("'" + text::fromCp1252(text) + "' no es un valor punto flotante válido");
  float hours = static_cast<float>(read);
  const float whole = std::trunc(hours);
  if (hours == 0.0f) hours = 1.0f;

  double started = std::ceil(double{hours});
  std::string sessions;
  if (started > 13) {
    sessions = numbers::formatFixed(started - 13, 0, '.');
    started = 13;
  }
  if (started > 0) sessions.append(static_cast<std::size_t>(started), '1');
  if (hours != whole) sessions.push_back('\xBD');
  return {hours, std::move(sessions)};
}

}  // namespace thp::exporter
