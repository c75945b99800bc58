#include "table_layout.hpp"

#include <stdexcept>
#include <utility>

#include "formats/error.hpp"
#include "formats/text.hpp"

namespace thp::dbf {
namespace {

// The level fixes the width of its binary and logical fields; a layout that
// says otherwise would write records the timetabling program misreads.
std::size_t requiredLength(FieldType type) {
  switch (type) {
    case FieldType::Logical:
      return 1;
    case FieldType::Integer:
      return 4;
    case FieldType::Double:
      return 8;
    default:
      return 0;
  }
}

}  // namespace

TableLayout::TableLayout(std::string tableName, std::vector<FieldDef> fields)
    : name_(std::move(tableName)), fields_(std::move(fields)) {
  if (fields_.empty()) throw std::invalid_argument("La tabla " + name_ + " no tiene campos");
  offsets_.reserve(fields_.size());
  for (const FieldDef& field : fields_) {
    const std::size_t required = requiredLength(field.type);
    // Level 7 descriptors hold 31 name characters and a terminating NUL.
    if (field.name.empty() || field.name.size() > 31 || field.length == 0 ||
        (required != 0 && field.length != required))
      throw std::invalid_argument("Definición no válida del campo " + field.name + " en la tabla " +
                                  name_);
    offsets_.push_back(recordLength_);
    recordLength_ += field.length;
  }
  if (recordLength_ > 0xFFFF)
    throw std::invalid_argument("Los registros de la tabla " + name_ + " son demasiado largos");
}

std::size_t TableLayout::indexOf(std::string_view fieldName) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].name == fieldName) return i;
  throw Error("El campo " + text::fromCp1252(fieldName) + " no existe en la tabla " +
              text::fromCp1252(name_));
}

}  // namespace thp::dbf
