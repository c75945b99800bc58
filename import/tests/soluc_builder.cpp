#include "soluc_builder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace thp::importer::testing {
namespace {

void put(std::string& out, std::size_t at, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i, value >>= 8)
    out[at + i] = static_cast<char>(value & 0xFFu);
}

std::string upper(std::string value) {
  for (char& c : value)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return value;
}

std::string valueOf(const RecordSpec& record, const FieldSpec& field) {
  const std::string wanted = upper(field.name);
  for (const auto& [name, value] : record.values)
    if (upper(name) == wanted) return value;
  return {};
}

std::string encode(DbfLevel level, const FieldSpec& field, const std::string& value) {
  const auto length = static_cast<std::size_t>(field.length);
  EXPECT_LE(value.size(), length) << "value '" << value << "' does not fit " << field.name;
  switch (field.type) {
    case 'I': {
      std::string out(4, '\0');
      if (value.empty()) return out;  // every level reads four zero bytes as no value
      const auto bits = static_cast<std::uint32_t>(std::stol(value));
      if (level == DbfLevel::Level7) {
        const std::uint32_t sortable = bits ^ 0x80000000u;  // big-endian, sign bit flipped
        for (std::size_t i = 0; i < 4; ++i)
          out[i] = static_cast<char>((sortable >> (8 * (3 - i))) & 0xFFu);
      } else {
        put(out, 0, bits, 4);
      }
      return out;
    }
    case 'N':
    case 'F':
    case 'M':
      return std::string(length - value.size(), ' ') + value;
    default:
      return value + std::string(length - value.size(), ' ');
  }
}

std::size_t recordLength(const std::vector<FieldSpec>& fields) {
  std::size_t length = 1;  // the deletion flag
  for (const FieldSpec& field : fields) length += static_cast<std::size_t>(field.length);
  return length;
}

}  // namespace

std::string dbfBytes(DbfLevel level, const std::vector<FieldSpec>& fields,
                     const std::vector<RecordSpec>& records) {
  const bool level7 = level == DbfLevel::Level7;
  const bool foxPro = level == DbfLevel::FoxPro;
  const std::size_t fixed = level7 ? 68 : 32;
  const std::size_t descriptor = level7 ? 48 : 32;
  const std::size_t backlink = foxPro ? 263 : 0;
  const std::size_t headerLength = fixed + descriptor * fields.size() + 1 + backlink;

  std::string out(fixed, '\0');
  out[0] = static_cast<char>(level);
  out[1] = 126;  // last update 2026-05-17
  out[2] = 5;
  out[3] = 17;
  put(out, 4, static_cast<std::uint32_t>(records.size()), 4);
  put(out, 8, static_cast<std::uint32_t>(headerLength), 2);
  put(out, 10, static_cast<std::uint32_t>(recordLength(fields)), 2);
  if (level7) {
    out[29] = 0x57;
    std::string("DBWINES0").copy(&out[32], 8);  // language driver: Spanish ANSI
  } else {
    out[29] = 0x03;  // code page mark: Windows ANSI
  }

  std::size_t offset = 1;
  for (const FieldSpec& field : fields) {
    std::string d(descriptor, '\0');
    if (level7) {
      field.name.copy(&d[0], 32);
      d[32] = field.type;
      d[33] = static_cast<char>(field.length);
      d[34] = static_cast<char>(field.decimals);
    } else {
      field.name.copy(&d[0], 10);
      d[11] = field.type;
      if (foxPro) put(d, 12, static_cast<std::uint32_t>(offset), 4);
      d[16] = static_cast<char>(field.length);
      d[17] = static_cast<char>(field.decimals);
    }
    out += d;
    offset += static_cast<std::size_t>(field.length);
  }
  out += '\x0D';
  out += std::string(backlink, '\0');

  for (const RecordSpec& record : records) {
    out += record.deleted ? '*' : ' ';
    for (const FieldSpec& field : fields) out += encode(level, field, valueOf(record, field));
  }
  out += '\x1A';
  return out;
}

}  // namespace thp::importer::testing
