// The dBase reader on arbitrary bytes: a table either opens or is refused with
// a thp::Error, and every value of one that opens reads as its type or is
// refused the same way. The key index finds for each record's key a record
// with that key, never a later one than the record itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/dbf/table.hpp"
#include "formats/error.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

using thp::dbf::Table;

// Enough records to reach every branch, few enough to keep each input fast.
constexpr std::size_t kMaxRecords = 512;

template <typename Read>
void readOrRefuse(Read read) {
  try {
    read();
  } catch (const thp::Error& error) {
    if (std::string(error.what()).find("TABLA.DBF") == std::string::npos)
      thp::fuzz::broken(std::string("a value's error that does not name the table: ") +
                        error.what());
  }
}

void readEveryValue(const Table& table, std::size_t records) {
  const auto& fields = table.fields();
  for (std::size_t r = 0; r < records; ++r)
    for (std::size_t f = 0; f < fields.size(); ++f) {
      if (table.rawText(r, f).size() > fields[f].length)
        thp::fuzz::broken("a value longer than its field");
      readOrRefuse([&] { table.text(r, f, '.'); });
      readOrRefuse([&] { table.text(r, f, ','); });
      readOrRefuse([&] { table.integer(r, f); });
      readOrRefuse([&] { table.number(r, f, ','); });
    }
}

void checkFieldLookup(const Table& table) {
  const auto& fields = table.fields();
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const auto found = table.findField(fields[f].name);
    if (!found || *found > f) thp::fuzz::broken("a field not found by its own name");
  }
}

void checkKeyIndex(const Table& table, std::size_t records) {
  std::vector<std::size_t> all(table.fields().size());
  for (std::size_t f = 0; f < all.size(); ++f) all[f] = f;
  for (std::size_t key = 0; key < all.size(); ++key) {
    const thp::dbf::KeyIndex index(table, key, all);
    for (std::size_t r = 0; r < records; ++r) {
      const auto found = index.locate(table.rawText(r, key));
      if (!found || *found > r || table.rawText(*found, key) != table.rawText(r, key))
        thp::fuzz::broken("the key index lost a record's key");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto file = thp::fuzz::scratchDirectory() / "TABLA.DBF";
  thp::fuzz::writeFile(file, data, size);
  try {
    const Table table = Table::open(file, thp::dbf::Access::Shared);
    const std::size_t records = std::min(table.recordCount(), kMaxRecords);
    readEveryValue(table, records);
    checkFieldLookup(table);
    checkKeyIndex(table, std::min<std::size_t>(records, 64));
  } catch (const thp::Error& error) {
    if (std::string(error.what()).find("TABLA.DBF") == std::string::npos)
      thp::fuzz::broken(std::string("an error that does not name the table: ") + error.what());
  }
  return 0;
}
