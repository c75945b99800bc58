#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table_layout.hpp"

namespace thp::dbf {

// A field as an existing table describes it.
struct FieldInfo {
  std::string name;
  char type;
  std::size_t offset;  // within the record, after the deletion flag byte
  std::size_t length;
  std::size_t decimals;
};

enum class Access { Shared, Exclusive };

// An existing dBase table read into memory: dBase III+, IV (memo fields are
// not read), level 7 and FoxPro-style headers. Deleted records are skipped, so
// record numbers count the live records in stored order. With exclusive access
// the file stays locked for the object's lifetime.
class Table {
 public:
  // Throws thp::Error naming the file when it is missing, locked by another
  // holder (exclusive access), damaged or of an unknown form.
  static Table open(const std::filesystem::path& file, Access access);

  Table(Table&&) noexcept;
  Table& operator=(Table&&) noexcept;
  ~Table();

  const std::filesystem::path& file() const;
  std::size_t recordCount() const;
  const std::vector<FieldInfo>& fields() const;

  // A field by name without regard to ASCII case.
  std::optional<std::size_t> findField(std::string_view name) const;
  // As findField; throws thp::Error naming the table and the field when absent.
  std::size_t field(std::string_view name) const;

  // The field's bytes as stored, right-trimmed of blanks (and NULs).
  std::string_view rawText(std::size_t record, std::size_t field) const;
  // The value as text: a character field right-trimmed; a numeric field with the
  // decimals of its definition and the given separator; an integer in decimal;
  // an empty value as the empty text.
  std::string text(std::size_t record, std::size_t field, char decimalSeparator) const;
  // The value as an integer; an empty value is 0. Throws thp::Error naming the
  // table, record and field for content that is no number.
  std::int32_t integer(std::size_t record, std::size_t field) const;
  // The value as a number; an empty value is 0.
  double number(std::size_t record, std::size_t field, char decimalSeparator) const;

 private:
  friend class KeyIndex;
  struct Data;
  explicit Table(std::unique_ptr<Data> data);
  std::unique_ptr<Data> data_;
};

// The first record, in stored order, whose field equals a key exactly (whole
// value, case-sensitive), comparing values as rawText gives them. Built once in
// linear time; each lookup is a hash lookup.
//
// The index keeps its own compact copy of each key and of the `carried` fields
// of the record it names, side by side in the hash table's slot, so that a
// lookup and the values it is made for touch one place in memory rather than
// the whole table. The index does not refer to the Table once built.
class KeyIndex {
  struct Impl;

 public:
  KeyIndex(const Table& table, std::size_t field, const std::vector<std::size_t>& carried = {});

  // A record found by find(), with the values the index carries for it.
  class Found {
   public:
    std::size_t record() const;
    // rawText(record(), carried[i]) as it was when the index was built.
    std::string_view value(std::size_t i) const;

   private:
    friend class KeyIndex;
    Found(const Impl* impl, const char* slot) : impl_(impl), slot_(slot) {}
    const Impl* impl_;
    const char* slot_;
  };

  std::optional<std::size_t> locate(std::string_view key) const;
  std::optional<Found> find(std::string_view key) const;

 private:
  const char* slotOf(std::string_view key) const;
  std::shared_ptr<const Impl> impl_;
};

}  // namespace thp::dbf
