#include "record_buffer.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "formats/error.hpp"
#include "formats/numbers.hpp"
#include "formats/text.hpp"

namespace thp::dbf {
namespace {

void storeBigEndian(char* out, std::uint64_t value, std::size_t bytes) {
  for (std::size_t i = bytes; i-- > 0;) {
    out[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace

RecordBuffer::RecordBuffer(const TableLayout& layout) : layout_(&layout) {
  empty_.assign(layout.recordLength(), ' ');
  const auto& fields = layout.fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    // Binary fields read as "no value" when all their bytes are zero.
    if (fields[i].type == FieldType::Integer || fields[i].type == FieldType::Double)
      empty_.replace(layout.offset(i), fields[i].length, fields[i].length, '\0');
  }
  bytes_ = empty_;
}

void RecordBuffer::clear() { bytes_.assign(empty_); }

namespace {

[[noreturn]] void wrongType(const TableLayout& layout, const FieldDef& def, FieldType type) {
  throw std::invalid_argument("El campo " + def.name + " de la tabla " + layout.name() +
                              " no es del tipo " + static_cast<char>(type));
}

// Called for every value of every record: the message is built out of line.
inline const FieldDef& checked(const TableLayout& layout, std::size_t field, FieldType type) {
  const FieldDef& def = layout.fields().at(field);
  if (def.type != type) wrongType(layout, def, type);
  return def;
}

}  // namespace

void RecordBuffer::setText(std::size_t field, std::string_view cp1252) {
  const FieldDef& def = checked(*layout_, field, FieldType::Character);
  const std::size_t width = def.length;
  const std::size_t used = std::min(cp1252.size(), width);
  char* out = bytes_.data() + layout_->offset(field);
  if (used > 0) std::memcpy(out, cp1252.data(), used);
  std::memset(out + used, ' ', width - used);
}

void RecordBuffer::setInteger(std::size_t field, std::int32_t value) {
  checked(*layout_, field, FieldType::Integer);
  // Flipping the sign bit makes the big-endian bytes sort as the numbers do.
  // INT32_MIN becomes all zeros, which the level reads as no value: it has no
  // way to store that one number.
  const std::uint32_t stored = static_cast<std::uint32_t>(value) ^ 0x80000000u;
  storeBigEndian(bytes_.data() + layout_->offset(field), stored, 4);
}

void RecordBuffer::setIntegerFromText(std::size_t field, std::string_view cp1252) {
  const FieldDef& def = checked(*layout_, field, FieldType::Integer);
  const std::string_view value = text::trim(cp1252);
  if (value.empty()) {
    std::fill_n(bytes_.data() + layout_->offset(field), 4, '\0');
    return;
  }
  std::int32_t number = 0;
  if (!numbers::tryToInt(value, number))
    throw Error("'" + text::fromCp1252(value) + "' no es un valor entero válido para el campo '" +
                text::fromCp1252(def.name) + "'");
  setInteger(field, number);
}

void RecordBuffer::setDouble(std::size_t field, double value) {
  checked(*layout_, field, FieldType::Double);
  // Sortable form: non-negative values get the sign bit set, negative ones are
  // inverted whole. Deciding on the sign bit rather than "< 0" keeps -0.0
  // distinct from the all-zero "no value".
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  constexpr std::uint64_t sign = std::uint64_t{1} << 63;
  bits = (bits & sign) != 0 ? ~bits : bits | sign;
  storeBigEndian(bytes_.data() + layout_->offset(field), bits, 8);
}

void RecordBuffer::setBoolean(std::size_t field, bool value) {
  checked(*layout_, field, FieldType::Logical);
  bytes_[layout_->offset(field)] = value ? 'T' : 'F';
}

}  // namespace thp::dbf
