#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text-to-number conversions with the rules and messages of the timetabling
// program's side: decimal or "$"-hexadecimal integers, and decimal numbers
// written with the decimal separator of the user's locale.
namespace thp::numbers {

// The decimal separator of the user's locale (LC_NUMERIC on POSIX, the user's
// settings on Windows), read without changing the program's own C locale.
char localeDecimalSeparator();

// Parses a 32-bit integer: optional leading blanks, an optional sign, then
// decimal digits, or "$" followed by up to eight hexadecimal digits. Nothing
// may follow. Throws thp::Error "'<text>' no es un valor entero válido".
// The text is Windows-1252; the message is UTF-8.
std::int32_t toInt(std::string_view cp1252);

// As toInt, but reports whether it parsed instead of throwing.
bool tryToInt(std::string_view cp1252, std::int32_t& value);

// Parses a decimal number: optional blanks around it, an optional sign, digits
// with at most one decimal separator, and an optional exponent. Throws
// thp::Error "'<text>' no es un valor punto flotante válido" for anything else,
// the empty text included, and for a value out of range.
double toDouble(std::string_view cp1252, char decimalSeparator);

// A number as text with the given count of decimals and decimal separator.
std::string formatFixed(double value, int decimals, char decimalSeparator);

// A number in its shortest exact form, with the given decimal separator.
std::string formatShortest(double value, char decimalSeparator);

}  // namespace thp::numbers
