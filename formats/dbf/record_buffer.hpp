#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "table_layout.hpp"

namespace thp::dbf {

// One record being filled for a TableWriter, in the on-disk form of a level 7
// table. A field that is not set stays empty: blanks for C and L, zero bytes
// for I and O, which the level reads back as no value.
class RecordBuffer {
 public:
  explicit RecordBuffer(const TableLayout& layout);

  // Empties every field.
  void clear();

  // Windows-1252 text, cut to the field's width without an error. C fields only.
  void setText(std::size_t field, std::string_view cp1252);
  // I fields.
  void setInteger(std::size_t field, std::int32_t value);
  // I fields, from text: empty or blank-only text leaves the field empty; text
  // that is not an integer throws thp::Error
  // "'<text>' no es un valor entero válido para el campo '<field>'".
  void setIntegerFromText(std::size_t field, std::string_view cp1252);
  // O fields.
  void setDouble(std::size_t field, double value);
  // L fields ("T" or "F").
  void setBoolean(std::size_t field, bool value);

  const TableLayout& layout() const { return *layout_; }
  std::string_view bytes() const { return bytes_; }

 private:
  const TableLayout* layout_;
  std::string bytes_;
  std::string empty_;
};

}  // namespace thp::dbf
