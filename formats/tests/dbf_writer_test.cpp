#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "dbf/test_files.hpp"
#include "formats/dbf/record_buffer.hpp"
#include "formats/dbf/table.hpp"
#include "formats/dbf/table_layout.hpp"
#include "formats/dbf/table_writer.hpp"
#include "formats/error.hpp"

namespace thp::dbf {
namespace {

using namespace std::chrono_literals;
using testing::bytes;
using testing::getLE;
using testing::readFile;
using testing::ScratchDir;

constexpr std::size_t kName = 0, kActive = 1, kOrder = 2, kWeight = 3;

// One field of each type the writer knows; a name longer than dBase III's ten
// characters, as the timetable tables use.
TableLayout sampleLayout() {
  return TableLayout("PRUEBA", {{"NOMBRE", FieldType::Character, 6},
                                {"ACTIVO", FieldType::Logical, 1},
                                {"SESION_ORDEN", FieldType::Integer, 4},
                                {"PESO", FieldType::Double, 8}});
}

std::string fieldBytes(const RecordBuffer& record, std::size_t field) {
  const auto& layout = record.layout();
  return std::string(record.bytes().substr(layout.offset(field), layout.fields()[field].length));
}

std::string writeTable(const std::filesystem::path& file, const TableLayout& layout,
                       const std::vector<RecordBuffer>& records,
                       std::chrono::year_month_day date = 2024y / 2 / 29) {
  TableWriter writer(file, layout, date);
  for (const RecordBuffer& record : records) writer.append(record);
  writer.finish();
  return readFile(file);
}

TEST(DbfTableLayoutTest, OffsetsFollowTheDeletionFlagAndUnknownFieldsAreNamed) {
  const TableLayout layout = sampleLayout();
  EXPECT_EQ(layout.offset(kName), 1u);
  EXPECT_EQ(layout.offset(kActive), 7u);
  EXPECT_EQ(layout.offset(kOrder), 8u);
  EXPECT_EQ(layout.offset(kWeight), 12u);
  EXPECT_EQ(layout.recordLength(), 20u);
  EXPECT_EQ(layout.fileName(), "PRUEBA.DBF");
  EXPECT_EQ(layout.indexOf("PESO"), kWeight);
  try {
    layout.indexOf("peso");  // exact names only
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "El campo peso no existe en la tabla PRUEBA");
  }
}

TEST(DbfTableLayoutTest, RefusesWidthsTheLevelCannotStore) {
  EXPECT_THROW(TableLayout("T", {{"N", FieldType::Integer, 5}}), std::invalid_argument);
  EXPECT_THROW(TableLayout("T", {{"N", FieldType::Double, 4}}), std::invalid_argument);
  EXPECT_THROW(TableLayout("T", {{"N", FieldType::Character, 0}}), std::invalid_argument);
  EXPECT_THROW(TableLayout("T", {{std::string(32, 'N'), FieldType::Logical, 1}}),
               std::invalid_argument);
  EXPECT_THROW(TableLayout("T", {}), std::invalid_argument);
}

TEST(DbfRecordBufferTest, EmptyRecordAndClear) {
  const TableLayout layout = sampleLayout();
  RecordBuffer record(layout);
  const std::string empty = std::string(8, ' ') + std::string(12, '\0');
  EXPECT_EQ(record.bytes(), empty);
  record.setText(kName, "ABC");
  record.setBoolean(kActive, false);
  record.setInteger(kOrder, 7);
  record.setDouble(kWeight, 1.0);
  EXPECT_NE(record.bytes(), empty);
  record.clear();
  EXPECT_EQ(record.bytes(), empty);
}

TEST(DbfRecordBufferTest, TextIsCutToWidthAndPadsOverAnEarlierValue) {
  const TableLayout layout = sampleLayout();
  RecordBuffer record(layout);
  record.setText(kName, "ABCDEFGH");
  EXPECT_EQ(fieldBytes(record, kName), "ABCDEF");
  record.setText(kName, "\xF1u");  // Windows-1252 bytes go in as they are
  EXPECT_EQ(fieldBytes(record, kName), "\xF1u    ");
  record.setText(kName, "");
  EXPECT_EQ(fieldBytes(record, kName), "      ");
  // The neighbours are untouched.
  EXPECT_EQ(record.bytes()[0], ' ');
  EXPECT_EQ(record.bytes()[7], ' ');
  record.setBoolean(kActive, true);
  EXPECT_EQ(fieldBytes(record, kActive), "T");
  record.setBoolean(kActive, false);
  EXPECT_EQ(fieldBytes(record, kActive), "F");
}

// The sortable big-endian forms, as TDbf writes them for the same values.
TEST(DbfRecordBufferTest, IntegerAndDoubleBinaryForms) {
  const TableLayout layout = sampleLayout();
  RecordBuffer record(layout);
  const struct {
    std::int32_t value;
    std::string stored;
  } integers[] = {
      {0, bytes({0x80, 0, 0, 0})},
      {1, bytes({0x80, 0, 0, 1})},
      {-5, bytes({0x7F, 0xFF, 0xFF, 0xFB})},
      {0x12345678, bytes({0x92, 0x34, 0x56, 0x78})},
      {std::numeric_limits<std::int32_t>::max(), bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {std::numeric_limits<std::int32_t>::min() + 1, bytes({0, 0, 0, 1})},
      // The one value the level cannot hold: it comes out as "no value".
      {std::numeric_limits<std::int32_t>::min(), bytes({0, 0, 0, 0})},
  };
  for (const auto& c : integers) {
    record.setInteger(kOrder, c.value);
    EXPECT_EQ(fieldBytes(record, kOrder), c.stored) << c.value;
  }
  const struct {
    double value;
    std::string stored;
  } doubles[] = {
      {0.0, bytes({0x80, 0, 0, 0, 0, 0, 0, 0})},
      {-0.0, bytes({0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {1.5, bytes({0xBF, 0xF8, 0, 0, 0, 0, 0, 0})},
      {-2.5, bytes({0x3F, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {std::numeric_limits<double>::max(), bytes({0xFF, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {std::numeric_limits<double>::lowest(), bytes({0x00, 0x10, 0, 0, 0, 0, 0, 0})},
      {std::numeric_limits<double>::denorm_min(), bytes({0x80, 0, 0, 0, 0, 0, 0, 1})},
  };
  for (const auto& c : doubles) {
    record.setDouble(kWeight, c.value);
    EXPECT_EQ(fieldBytes(record, kWeight), c.stored) << c.value;
  }
  // Byte order sorts as the numbers do, which is what the form is for.
  std::vector<std::string> sorted;
  for (const double v : {-1e300, -2.5, -1.0, -0.0, 0.0, 1e-300, 1.0, 2.5, 1e300}) {
    record.setDouble(kWeight, v);
    sorted.push_back(fieldBytes(record, kWeight));
  }
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
  }));
}

TEST(DbfRecordBufferTest, IntegerFromText) {
  const TableLayout layout = sampleLayout();
  RecordBuffer record(layout);
  const RecordBuffer empty(layout);
  const struct {
    const char* text;
    std::int32_t value;
  } valid[] = {{"42", 42}, {" \t-7\r\n", -7}, {"+3", 3}, {"$FF", 255}, {"2147483647", 2147483647}};
  for (const auto& c : valid) {
    record.setIntegerFromText(kOrder, c.text);
    RecordBuffer expected(layout);
    expected.setInteger(kOrder, c.value);
    EXPECT_EQ(record.bytes(), expected.bytes()) << c.text;
  }
  for (const char* blank : {"", "   ", "\t\r\n"}) {
    record.setInteger(kOrder, 9);
    record.setIntegerFromText(kOrder, blank);
    EXPECT_EQ(record.bytes(), empty.bytes()) << '"' << blank << '"';
  }
  const struct {
    const char* text;
    const char* message;
  } invalid[] = {
      {"12a", "'12a' no es un valor entero válido para el campo 'SESION_ORDEN'"},
      {"  4 2 ", "'4 2' no es un valor entero válido para el campo 'SESION_ORDEN'"},
      {"1.0", "'1.0' no es un valor entero válido para el campo 'SESION_ORDEN'"},
      {"2147483648", "'2147483648' no es un valor entero válido para el campo 'SESION_ORDEN'"},
      {"\xF1", "'ñ' no es un valor entero válido para el campo 'SESION_ORDEN'"},
  };
  for (const auto& c : invalid) {
    try {
      record.setIntegerFromText(kOrder, c.text);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

std::vector<RecordBuffer> sampleRecords(const TableLayout& layout) {
  std::vector<RecordBuffer> records(4, RecordBuffer(layout));
  records[0].setText(kName, "Ana");
  records[0].setBoolean(kActive, true);
  records[0].setInteger(kOrder, 0);
  records[0].setDouble(kWeight, 0.0);
  records[1].setText(kName,
                     "Mu\xF1oz Garc\xED"
                     "a");  // cut to "Muñoz "
  records[1].setBoolean(kActive, false);
  records[1].setInteger(kOrder, std::numeric_limits<std::int32_t>::min() + 1);
  records[1].setDouble(kWeight, -2.5);
  // records[2] stays empty
  records[3].setInteger(kOrder, std::numeric_limits<std::int32_t>::max());
  records[3].setDouble(kWeight, 0.1);
  return records;
}

TEST(DbfTableWriterTest, HeaderBytes) {
  ScratchDir dir;
  const TableLayout layout = sampleLayout();
  const std::string file = writeTable(dir / "PRUEBA.DBF", layout, sampleRecords(layout));
  const std::size_t headerLength = 68 + 4 * 48 + 1;
  ASSERT_EQ(file.size(), headerLength + 4 * 20 + 1);

  std::string header(68, '\0');
  header[0] = 0x04;
  header[1] = 124;  // 2024
  header[2] = 2;
  header[3] = 29;
  header[4] = 4;  // records
  header[8] = static_cast<char>(headerLength & 0xFF);
  header[9] = static_cast<char>(headerLength >> 8);
  header[10] = 20;  // record length
  header[29] = 0x57;
  std::string("DBWINUS0").copy(&header[32], 8);
  EXPECT_EQ(file.substr(0, 68), header);

  const struct {
    const char* name;
    char type;
    int length;
  } descriptors[] = {
      {"NOMBRE", 'C', 6}, {"ACTIVO", 'L', 1}, {"SESION_ORDEN", 'I', 4}, {"PESO", 'O', 8}};
  for (std::size_t i = 0; i < 4; ++i) {
    std::string expected(48, '\0');
    std::string(descriptors[i].name).copy(&expected[0], 32);
    expected[32] = descriptors[i].type;
    expected[33] = static_cast<char>(descriptors[i].length);
    EXPECT_EQ(file.substr(68 + 48 * i, 48), expected) << descriptors[i].name;
  }
  EXPECT_EQ(file[headerLength - 1], '\x0D');
  EXPECT_EQ(file.substr(headerLength, 20),
            " Ana   T" + bytes({0x80, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(file.substr(headerLength + 40, 20), std::string(8, ' ') + std::string(12, '\0'));
  EXPECT_EQ(file.back(), '\x1A');
}

TEST(DbfTableWriterTest, RoundTripThroughOurReader) {
  ScratchDir dir;
  const TableLayout layout = sampleLayout();
  writeTable(dir / "PRUEBA.DBF", layout, sampleRecords(layout));
  const Table table = Table::open(dir / "PRUEBA.DBF", Access::Shared);
  ASSERT_EQ(table.recordCount(), 4u);
  ASSERT_EQ(table.fields().size(), 4u);
  EXPECT_EQ(table.fields()[kOrder].name, "SESION_ORDEN");
  EXPECT_EQ(table.fields()[kOrder].type, 'I');
  EXPECT_EQ(table.fields()[kWeight].offset, 11u);

  const char* expected[4][4] = {{"Ana", "T", "0", "0"},
                                {"Mu\xF1oz", "F", "-2147483647", "-2,5"},
                                {"", "", "", ""},
                                {"", "", "2147483647", "0,1"}};
  for (std::size_t r = 0; r < 4; ++r)
    for (std::size_t f = 0; f < 4; ++f)
      EXPECT_EQ(table.text(r, f, ','), expected[r][f]) << r << "," << f;
  EXPECT_EQ(table.integer(1, kOrder), -2147483647);
  EXPECT_EQ(table.integer(2, kOrder), 0);
  EXPECT_EQ(table.number(1, kWeight, '.'), -2.5);
  EXPECT_EQ(table.number(3, kWeight, '.'), 0.1);
  EXPECT_EQ(table.number(2, kWeight, '.'), 0.0);
}

TEST(DbfTableWriterTest, ManyRecordsCrossTheBufferAndComeBackInOrder) {
  ScratchDir dir;
  const TableLayout layout = sampleLayout();
  constexpr std::int32_t count = 150000;  // about 3 MB: several flushes
  {
    TableWriter writer(dir / "T.DBF", layout, 2024y / 1 / 1);
    RecordBuffer record(layout);
    for (std::int32_t i = 0; i < count; ++i) {
      record.setInteger(kOrder, i);
      writer.append(record);
    }
    EXPECT_EQ(writer.recordCount(), static_cast<std::size_t>(count));
    writer.finish();
  }
  const std::string file = readFile(dir / "T.DBF");
  EXPECT_EQ(file.size(), 261 + 20u * count + 1);
  EXPECT_EQ(getLE(file, 4, 4), static_cast<std::uint64_t>(count));
  const Table table = Table::open(dir / "T.DBF", Access::Shared);
  ASSERT_EQ(table.recordCount(), static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i)
    ASSERT_EQ(table.integer(static_cast<std::size_t>(i), kOrder), i);
}

TEST(DbfTableWriterTest, EmptyTable) {
  ScratchDir dir;
  const TableLayout layout = sampleLayout();
  const std::string file = writeTable(dir / "T.DBF", layout, {});
  EXPECT_EQ(file.size(), 261u + 1);
  EXPECT_EQ(getLE(file, 4, 4), 0u);
  EXPECT_EQ(file.back(), '\x1A');
  EXPECT_EQ(Table::open(dir / "T.DBF", Access::Shared).recordCount(), 0u);
}

void expectWriteError(const std::function<void()>& action, const std::string& file) {
  try {
    action();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("No se puede escribir en " + file + ": ", 0), 0u)
        << e.what();
  }
}

TEST(DbfTableWriterTest, WriteFailuresNameTheFile) {
  ScratchDir dir;
  const TableLayout layout = sampleLayout();
  const auto missing = dir / "no-such-dir" / "T.DBF";
  expectWriteError([&] { TableWriter(missing, layout, 2024y / 1 / 1); }, missing.string());

  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const RecordBuffer record(layout);
  // Failing while records are still being appended...
  expectWriteError(
      [&] {
        TableWriter writer("/dev/full", layout, 2024y / 1 / 1);
        for (int i = 0; i < 200000; ++i) writer.append(record);
      },
      "/dev/full");
  // ...and when only finish() reaches the disk.
  expectWriteError(
      [&] {
        TableWriter writer("/dev/full", layout, 2024y / 1 / 1);
        writer.append(record);
        writer.finish();
      },
      "/dev/full");
}

#ifdef THP_TDBF_DUMP
// What TDbf (Free Pascal's dBase library) reads from our file, one line each.
std::vector<std::string> readWithTdbf(const std::filesystem::path& file) {
  const std::string command = std::string("\"") + THP_TDBF_DUMP + "\" \"" + file.string() + "\"";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {"cannot run " + command};
  std::vector<std::string> lines;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) lines.push_back(line);
  const int status = pclose(pipe);
  if (status != 0) lines.push_back("exit status " + std::to_string(status));
  return lines;
}
#endif

std::string doubleBits(double value) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llX",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
  return hex;
}

TEST(DbfTableWriterTest, TdbfReadsOurLevel7Table) {
#ifndef THP_TDBF_DUMP
  GTEST_SKIP() << "Free Pascal (fpc with fp-units-db) was not found when configuring";
#else
  ScratchDir dir;
  const TableLayout layout = sampleLayout();
  const std::string written = writeTable(dir / "PRUEBA.DBF", layout, sampleRecords(layout));
  // Character fields come as hex bytes, doubles as hex bits; TDbf gives a
  // blank-only character field and an unset logical as null.
  const std::vector<std::string> expected = {
      "level 7",
      "field NOMBRE C 6 0",
      "field ACTIVO L 1 0",
      "field SESION_ORDEN I 4 0",
      "field PESO O 8 0",
      "record 1",
      "NOMBRE=416E61",
      "ACTIVO=T",
      "SESION_ORDEN=0",
      "PESO=" + doubleBits(0.0),
      "record 2",
      "NOMBRE=4D75F16F7A",
      "ACTIVO=F",
      "SESION_ORDEN=-2147483647",
      "PESO=" + doubleBits(-2.5),
      "record 3",
      "NOMBRE=<null>",
      "ACTIVO=<null>",
      "SESION_ORDEN=<null>",
      "PESO=<null>",
      "record 4",
      "NOMBRE=<null>",
      "ACTIVO=<null>",
      "SESION_ORDEN=2147483647",
      "PESO=" + doubleBits(0.1),
      "records 4",
  };
  EXPECT_EQ(readWithTdbf(dir / "PRUEBA.DBF"), expected);
  // Opened read-only, TDbf must not have "repaired" anything.
  EXPECT_EQ(readFile(dir / "PRUEBA.DBF"), written);
#endif
}

}  // namespace
}  // namespace thp::dbf
