#pragma once

#include <string>
#include <string_view>

namespace thp::exporter {

// The hours of a teaching assignment as the timetable tables keep them.
struct Sessions {
  float hours;           // HORAS: single precision from the moment it is read
  std::string sessions;  // SESIONES, Windows-1252
};

// From the text of `nhoras`: an hour count of 0 counts as 1; one "1" per
// started hour, at most thirteen, led by the surplus over thirteen; and "½"
// when the count is not whole. Throws thp::Error
// "'<text>' no es un valor punto flotante válido" for text that is no number.
Sessions sessionsFromHours(std::string_view text, char decimalSeparator);

}  // namespace thp::exporter
