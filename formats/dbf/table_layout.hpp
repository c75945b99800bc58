#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace thp::dbf {

// Field types as their dBase type letters.
enum class FieldType : char {
  Character = 'C',
  Logical = 'L',
  Integer = 'I',  // 32-bit integer (level 7: sortable big-endian; FoxPro: little-endian)
  Double = 'O',   // 64-bit floating point (level 7)
  Numeric = 'N',
  Float = 'F',
  Date = 'D',
  Memo = 'M',
};

struct FieldDef {
  std::string name;
  FieldType type;
  std::uint8_t length;  // bytes on disk
  std::uint8_t decimals = 0;
};

// The fields of a table in order, with their offsets inside a record (byte 0
// of a record is the deletion flag).
class TableLayout {
 public:
  TableLayout(std::string tableName, std::vector<FieldDef> fields);

  // The table's name without extension, in capitals ("ASIGNOMT").
  const std::string& name() const { return name_; }
  // The data file's name: the table's name followed by ".DBF".
  std::string fileName() const { return name_ + ".DBF"; }

  const std::vector<FieldDef>& fields() const { return fields_; }
  std::size_t offset(std::size_t field) const { return offsets_[field]; }
  std::size_t recordLength() const { return recordLength_; }

  // The index of a field by its exact name; throws thp::Error when absent.
  std::size_t indexOf(std::string_view fieldName) const;

 private:
  std::string name_;
  std::vector<FieldDef> fields_;
  std::vector<std::size_t> offsets_;
  std::size_t recordLength_ = 1;
};

}  // namespace thp::dbf
