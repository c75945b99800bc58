#pragma once

// dBase files composed byte by byte, the way the timetabling program's engine
// lays out SOLUC at each table level, without going through our table writer.

#include <map>
#include <string>
#include <vector>

namespace thp::importer::testing {

// The header bytes that tell the table levels apart.
enum class DbfLevel : unsigned char {
  DBase3 = 0x03,      // dBase III+
  DBase4Memo = 0x8B,  // dBase IV with a memo file
  Level7 = 0x04,      // dBase 7: 68-byte header, 48-byte descriptors
  FoxPro = 0x30,      // Visual FoxPro: field offsets in the descriptors, 263-byte backlink
};

struct FieldSpec {
  std::string name;  // as stored, in any case
  char type;         // C, N, I, L or M
  int length;
  int decimals = 0;
};

// One record's values by field name (matched without regard to case). Texts
// are the bytes to store (Windows-1252); numbers are written as their text,
// right-aligned, and I fields from their decimal text. A field without a value
// is stored blank.
struct RecordSpec {
  std::map<std::string, std::string> values;
  bool deleted = false;
};

std::string dbfBytes(DbfLevel level, const std::vector<FieldSpec>& fields,
                     const std::vector<RecordSpec>& records);

}  // namespace thp::importer::testing
