#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dbf/test_files.hpp"
#include "formats/dbf/table.hpp"
#include "formats/error.hpp"

// The fixtures are composed here byte by byte, independently of our writer.
namespace thp::dbf {
namespace {

using testing::bytes;
using testing::putLE;
using testing::ScratchDir;
using testing::writeFile;

struct Desc {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

std::size_t recordLengthOf(const std::vector<Desc>& fields) {
  std::size_t length = 1;
  for (const Desc& f : fields) length += static_cast<std::size_t>(f.length);
  return length;
}

// dBase III+/IV and FoxPro: a 32-byte header, 32-byte descriptors and the
// terminator, then the trailer (FoxPro's backlink). FoxPro keeps each field's
// place in the record in descriptor bytes 12-15; dBase leaves junk there.
std::string shortHeader(int version, std::uint32_t count, const std::vector<Desc>& fields,
                        std::string_view trailer = {}) {
  const bool foxPro =
      version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5 || version == 0xFB;
  std::string out(32, '\0');
  out[0] = static_cast<char>(version);
  out[1] = 124;  // 2024-05-17
  out[2] = 5;
  out[3] = 17;
  putLE(out, 4, count, 4);
  putLE(out, 8, 32 + 32 * fields.size() + 1 + trailer.size(), 2);
  putLE(out, 10, recordLengthOf(fields), 2);
  std::size_t offset = 1;
  for (const Desc& f : fields) {
    std::string d(32, '\0');
    f.name.copy(&d[0], 11);
    d[11] = f.type;
    if (foxPro)
      putLE(d, 12, offset, 4);
    else
      putLE(d, 12, 0x44332211, 4);
    d[16] = static_cast<char>(f.length & 0xFF);
    d[17] = static_cast<char>(f.decimals);
    if (foxPro && f.type == 'C') d[17] = static_cast<char>(f.length >> 8);
    out += d;
    offset += static_cast<std::size_t>(f.length);
  }
  out += '\x0D';
  out += trailer;
  return out;
}

// Level 7: a 68-byte header with the language driver, 48-byte descriptors, the
// terminator, then a field properties block that the header length covers.
std::string level7Header(int version, std::uint32_t count, const std::vector<Desc>& fields,
                         std::string_view properties) {
  std::string out(68, '\0');
  out[0] = static_cast<char>(version);
  out[1] = 124;
  out[2] = 5;
  out[3] = 17;
  putLE(out, 4, count, 4);
  putLE(out, 8, 68 + 48 * fields.size() + 1 + properties.size(), 2);
  putLE(out, 10, recordLengthOf(fields), 2);
  out[29] = 0x57;
  std::string("DBWINUS0").copy(&out[32], 8);
  for (const Desc& f : fields) {
    std::string d(48, '\0');
    f.name.copy(&d[0], 31);
    d[32] = f.type;
    d[33] = static_cast<char>(f.length);
    d[34] = static_cast<char>(f.decimals);
    out += d;
  }
  out += '\x0D';
  out += properties;
  return out;
}

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(DbfTableTest, ReadsDbaseIIIPlus) {
  ScratchDir dir;
  const auto file = dir / "ALUMNOS.DBF";
  const std::vector<Desc> fields = {{"NOMBRE", 'C', 8},
                                    {"CANTIDAD", 'N', 7, 2},
                                    {"FECHA", 'D', 8},
                                    {"ACTIVO", 'L', 1},
                                    {"CODIGO", 'N', 4}};
  writeFile(file, shortHeader(0x03, 4, fields) +  //
                      " Ana       12.5020240517T  42" + "*Borrado    1.0020240101F   1" +
                      " Mu\xF1oz     -3.25        ?    " + "                         -123" +
                      "\x1A");
  const Table table = Table::open(file, Access::Shared);

  ASSERT_EQ(table.fields().size(), 5u);
  const struct {
    const char* name;
    char type;
    std::size_t offset, length, decimals;
  } expectedFields[] = {{"NOMBRE", 'C', 0, 8, 0},
                        {"CANTIDAD", 'N', 8, 7, 2},
                        {"FECHA", 'D', 15, 8, 0},
                        {"ACTIVO", 'L', 23, 1, 0},
                        {"CODIGO", 'N', 24, 4, 0}};
  for (std::size_t i = 0; i < 5; ++i) {
    const FieldInfo& f = table.fields()[i];
    EXPECT_EQ(f.name, expectedFields[i].name);
    EXPECT_EQ(f.type, expectedFields[i].type);
    EXPECT_EQ(f.offset, expectedFields[i].offset) << f.name;
    EXPECT_EQ(f.length, expectedFields[i].length) << f.name;
    EXPECT_EQ(f.decimals, expectedFields[i].decimals) << f.name;
  }

  ASSERT_EQ(table.recordCount(), 3u);  // the deleted one is skipped
  const char* texts[3][5] = {{"Ana", "12,50", "20240517", "T", "42"},
                             {"Mu\xF1oz", "-3,25", "", "", ""},
                             {"", "", "", "", "-123"}};
  for (std::size_t r = 0; r < 3; ++r)
    for (std::size_t f = 0; f < 5; ++f)
      EXPECT_EQ(table.text(r, f, ','), texts[r][f]) << r << "," << f;
  EXPECT_EQ(table.rawText(1, 0), "Mu\xF1oz");
  EXPECT_EQ(table.integer(0, 1), 13);  // 12.50 rounded to nearest
  EXPECT_EQ(table.integer(1, 1), -3);
  EXPECT_EQ(table.integer(2, 1), 0);
  EXPECT_EQ(table.integer(2, 4), -123);
  EXPECT_EQ(table.number(0, 1, ','), 12.5);
  EXPECT_EQ(table.number(2, 1, ','), 0.0);

  EXPECT_EQ(table.findField("cantidad"), 1u);
  EXPECT_EQ(table.findField("Fecha"), 2u);
  EXPECT_EQ(table.findField("FECH"), std::nullopt);
  EXPECT_EQ(table.field("codigo"), 4u);
  EXPECT_EQ(errorOf([&] { table.field("CURSO"); }),
            "El campo CURSO no existe en la tabla " + file.string());
}

TEST(DbfTableTest, SkipsMemoFieldsOfDbaseIV) {
  ScratchDir dir;
  const auto file = dir / "NOTAS.DBF";
  for (const int version : {0x43, 0x63, 0x83, 0x8B, 0xCB}) {
    SCOPED_TRACE(version);
    writeFile(file,
              shortHeader(version, 1, {{"ID", 'N', 3}, {"NOTAS", 'M', 10}, {"NOMBRE", 'C', 4}}) +
                  "   7        12Luis\x1A");
    const Table table = Table::open(file, Access::Shared);
    ASSERT_EQ(table.recordCount(), 1u);
    EXPECT_EQ(table.text(0, 0, '.'), "7");
    EXPECT_EQ(table.text(0, 1, '.'), "");
    EXPECT_EQ(table.text(0, 2, '.'), "Luis");
  }
}

TEST(DbfTableTest, ReadsFoxPro) {
  ScratchDir dir;
  const auto file = dir / "PRECIOS.DBF";
  const std::vector<Desc> fields = {{"ID", 'I', 4},
                                    {"PRECIO", 'B', 8, 2},
                                    {"NOMBRE", 'C', 5},
                                    {"IMPORTE", 'Y', 8, 4},
                                    {"LARGO", 'C', 300}};  // width beyond one byte
  std::string backlink = "..\\datos\\escuela.dbc";
  backlink.resize(263, '\0');
  const std::string records =
      " " + bytes({0xFE, 0xFF, 0xFF, 0xFF}) + bytes({0, 0, 0, 0, 0, 0, 0x04, 0x40}) + "Eva  " +
      bytes({0x4E, 0x61, 0xBC, 0, 0, 0, 0, 0}) + std::string(299, 'x') + "y" +  //
      "*" + std::string(325, '*') +                                             //
      " " + bytes({0, 0, 0, 0}) + bytes({0, 0, 0, 0, 0, 0, 0, 0}) + "     " +
      bytes({0xF0, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) + std::string(300, ' ') + "\x1A";

  for (const int version : {0x30, 0x31, 0x32}) {
    SCOPED_TRACE(version);
    writeFile(file, shortHeader(version, 3, fields, backlink) + records);
    const Table table = Table::open(file, Access::Shared);
    ASSERT_EQ(table.recordCount(), 2u);
    EXPECT_EQ(table.fields()[4].length, 300u);
    EXPECT_EQ(table.fields()[4].offset, 25u);
    const char* texts[2][5] = {{"-2", "2,5", "Eva", "1234,5678", ""},
                               {"0", "0", "", "-1,0000", ""}};
    for (std::size_t r = 0; r < 2; ++r)
      for (std::size_t f = 0; f < 4; ++f)
        EXPECT_EQ(table.text(r, f, ','), texts[r][f]) << r << "," << f;
    EXPECT_EQ(table.rawText(0, 4), std::string(299, 'x') + "y");
    EXPECT_EQ(table.integer(0, 0), -2);
    EXPECT_EQ(table.integer(0, 1), 3);
    EXPECT_EQ(table.number(0, 3, '.'), 1234.5678);
    EXPECT_EQ(table.integer(1, 3), -1);
  }
}

// Before Visual FoxPro: no backlink, and B is a memo-like field that is skipped.
TEST(DbfTableTest, ReadsFoxPro2) {
  ScratchDir dir;
  const auto file = dir / "VIEJA.DBF";
  for (const int version : {0xF5, 0xFB}) {
    SCOPED_TRACE(version);
    writeFile(file,
              shortHeader(version, 1, {{"ID", 'N', 3}, {"DATOS", 'B', 10}, {"NOMBRE", 'C', 3}}) +
                  "   5         3Eva\x1A");
    const Table table = Table::open(file, Access::Shared);
    ASSERT_EQ(table.recordCount(), 1u);
    EXPECT_EQ(table.integer(0, 0), 5);
    EXPECT_EQ(table.text(0, 1, '.'), "");
    EXPECT_EQ(table.text(0, 2, '.'), "Eva");
  }
}

TEST(DbfTableTest, ReadsLevel7) {
  ScratchDir dir;
  const auto file = dir / "SESIONES.DBF";
  const std::vector<Desc> fields = {{"SESION_ORDEN", 'I', 4},
                                    {"PESO", 'O', 8},
                                    {"DESCRIPCION_LARGA", 'C', 12},
                                    {"ACTIVO", 'L', 1},
                                    {"CANTIDAD", 'N', 5, 1}};
  // A standard-properties header naming one property, and its data: the
  // records begin only after it.
  const std::string properties =
      bytes({1,    0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 31, 0, 40, 0, 1, 0, 1, 0,
             0x02, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0, 0});
  const std::string records = " " + bytes({0x80, 0, 0, 0x2A}) +
                              bytes({0xC0, 0x04, 0, 0, 0, 0, 0, 0}) + "Primera     " + "T" +
                              "  1.5" +  //
                              " " + bytes({0, 0, 0, 0}) + bytes({0, 0, 0, 0, 0, 0, 0, 0}) +
                              std::string(12, ' ') + " " + "     " +  //
                              "*" + bytes({0x80, 0, 0, 9}) + bytes({0xBF, 0xF0, 0, 0, 0, 0, 0, 0}) +
                              "Borrada     " + "T" + "  9.0" +  //
                              " " + bytes({0x7F, 0xFF, 0xFF, 0xFF}) +
                              bytes({0x3F, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) +
                              "x           " + "F" + " -0.5" + "\x1A";

  for (const int version : {0x04, 0x8C}) {
    SCOPED_TRACE(version);
    writeFile(file, level7Header(version, 4, fields, properties) + records);
    const Table table = Table::open(file, Access::Shared);
    ASSERT_EQ(table.fields().size(), 5u);
    EXPECT_EQ(table.fields()[2].name, "DESCRIPCION_LARGA");
    EXPECT_EQ(table.fields()[4].offset, 25u);
    ASSERT_EQ(table.recordCount(), 3u);
    const char* texts[3][5] = {{"42", "2,5", "Primera", "T", "1,5"},
                               {"", "", "", "", ""},
                               {"-1", "-2,5", "x", "F", "-0,5"}};
    for (std::size_t r = 0; r < 3; ++r)
      for (std::size_t f = 0; f < 5; ++f)
        EXPECT_EQ(table.text(r, f, ','), texts[r][f]) << r << "," << f;
    EXPECT_EQ(table.integer(0, 0), 42);
    EXPECT_EQ(table.integer(1, 0), 0);
    EXPECT_EQ(table.integer(2, 1), -3);  // -2.5 rounds away from zero
    EXPECT_EQ(table.number(2, 1, '.'), -2.5);
    EXPECT_EQ(table.number(1, 1, '.'), 0.0);
    EXPECT_EQ(table.findField("sesion_orden"), 0u);
  }
}

TEST(DbfTableTest, RecordCountFollowsTheFileLengthUpToTheHeaderCount) {
  ScratchDir dir;
  const auto file = dir / "T.DBF";
  const struct {
    std::uint32_t headerCount;
    int written;
    std::string tail;
    std::size_t expected;
  } cases[] = {
      {3, 3, "\x1A", 3},                      // as it should be
      {3, 3, "", 3},                          // no end-of-file mark
      {10, 2, "\x1A", 2}, {10, 2, " ab", 2},  // a record cut short
      {1, 3, "\x1A", 1},                      // more on disk than the header says: the count rules
      {0, 2, "\x1A", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.headerCount << " / " << c.written << " / " << c.tail.size());
    std::string content = shortHeader(0x03, c.headerCount, {{"COD", 'C', 3}});
    for (int i = 0; i < c.written; ++i) content += " R" + std::to_string(i) + " ";
    writeFile(file, content + c.tail);
    const Table table = Table::open(file, Access::Shared);
    ASSERT_EQ(table.recordCount(), c.expected);
    if (c.expected > 0) {
      EXPECT_EQ(table.rawText(c.expected - 1, 0), "R" + std::to_string(c.expected - 1));
    }
  }
}

TEST(DbfTableTest, DamagedFilesAreClearErrors) {
  ScratchDir dir;
  const auto file = dir / "ROTA.DBF";
  const std::string good = shortHeader(0x03, 1, {{"COD", 'C', 3}}) + " ABC\x1A";
  const auto with = [&](std::size_t at, std::uint64_t value, std::size_t width) {
    std::string out = good;
    putLE(out, at, value, width);
    return out;
  };
  const std::string twoFields = shortHeader(0x03, 1, {{"A", 'C', 3}, {"B", 'C', 3}}) + " ABCDEF";
  std::string cutDescriptor = twoFields;
  putLE(cutDescriptor, 8, 32 + 32 + 20, 2);
  std::string noFields = good;
  noFields[32] = '\x0D';
  std::string noTerminator = twoFields;  // the descriptors fill the header exactly
  noTerminator[96] = ' ';
  putLE(noTerminator, 8, 96, 2);
  const std::string level7 =
      level7Header(0x04, 1, {{"N", 'I', 4}}, "") + " " + bytes({0x80, 0, 0, 1}) + "\x1A";
  std::string level7TooSmall = level7;
  putLE(level7TooSmall, 8, 68 + 20, 2);

  const struct {
    const char* what;
    std::string content;
  } cases[] = {
      {"empty file", ""},
      {"shorter than the header", good.substr(0, 10)},
      {"unknown version 0x00", with(0, 0x00, 1)},
      {"unknown version 0x02", with(0, 0x02, 1)},
      {"unknown version 0x05", with(0, 0x05, 1)},
      {"header length too small", with(8, 32, 2)},
      {"header length beyond the file", with(8, 0xFFFF, 2)},
      {"record length 0", with(10, 0, 2)},
      {"record length below the fields", with(10, 3, 2)},
      {"field of length 0", with(32 + 16, 0, 1)},
      {"field without a name", with(32, 0, 1)},
      {"descriptor past the header", cutDescriptor},
      {"no fields", noFields},
      {"no terminator", noTerminator},
      {"level 7 shorter than its header", level7.substr(0, 50)},
      {"level 7 header length too small", level7TooSmall},
      {"level 7 integer of 2 bytes",
       [&] {
         std::string out = level7;
         out[68 + 33] = 2;
         return out;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(file, c.content);
    const std::string message = errorOf([&] { Table::open(file, Access::Shared); });
    EXPECT_NE(message.find("La tabla " + file.string() + " "), std::string::npos) << message;
  }
}

TEST(DbfTableTest, ContentThatIsNoNumberNamesTableRecordAndField) {
  ScratchDir dir;
  const auto file = dir / "MAL.DBF";
  writeFile(file, shortHeader(0x03, 4, {{"CODIGO", 'N', 12}, {"TEXTO", 'C', 6}}) +
                      "*           1      " +  // deleted: record numbers count live ones
                      "          12aabc   " + " 999999999999  7   " + "         -2.5 1,5  " +
                      "\x1A");
  const std::string in = " en la tabla " + file.string() + ", registro ";
  const Table table = Table::open(file, Access::Shared);
  ASSERT_EQ(table.recordCount(), 3u);
  EXPECT_EQ(errorOf([&] { table.integer(0, 0); }),
            "'12a' no es un valor numérico válido" + in + "1, campo CODIGO");
  EXPECT_EQ(errorOf([&] { table.text(0, 0, '.'); }),
            "'12a' no es un valor numérico válido" + in + "1, campo CODIGO");
  EXPECT_EQ(errorOf([&] { table.integer(0, 1); }),
            "'abc' no es un valor entero válido" + in + "1, campo TEXTO");
  EXPECT_EQ(errorOf([&] { table.integer(1, 0); }),
            "'999999999999' no es un valor entero válido" + in + "2, campo CODIGO");
  EXPECT_EQ(table.number(1, 0, '.'), 999999999999.0);
  EXPECT_EQ(table.integer(1, 1), 7);
  EXPECT_EQ(table.integer(2, 0), -3);
  EXPECT_EQ(table.number(2, 1, ','), 1.5);
  EXPECT_EQ(errorOf([&] { table.number(2, 1, '.'); }),
            "'1,5' no es un valor punto flotante válido" + in + "3, campo TEXTO");
}

TEST(DbfTableTest, MissingFile) {
  ScratchDir dir;
  const auto file = dir / "NADA.DBF";
  EXPECT_EQ(errorOf([&] { Table::open(file, Access::Shared); }),
            "No existe la tabla " + file.string());
  EXPECT_EQ(errorOf([&] { Table::open(file, Access::Exclusive); }),
            "No existe la tabla " + file.string());
}

TEST(DbfTableTest, ExclusiveOpenHoldsTheTableForTheObjectsLifetime) {
  ScratchDir dir;
  const auto file = dir / "T.DBF";
  writeFile(file, shortHeader(0x03, 1, {{"COD", 'C', 3}}) + " ABC\x1A");
  const std::string inUse = "La tabla " + file.string() + " está en uso por otro programa";
  {
    Table first = Table::open(file, Access::Exclusive);
    EXPECT_EQ(errorOf([&] { Table::open(file, Access::Exclusive); }), inUse);
    const Table moved = std::move(first);  // the lock moves along
    EXPECT_EQ(errorOf([&] { Table::open(file, Access::Exclusive); }), inUse);
    EXPECT_EQ(Table::open(file, Access::Shared).rawText(0, 0), "ABC");
  }
  const Table again = Table::open(file, Access::Exclusive);
  EXPECT_EQ(again.rawText(0, 0), "ABC");
}

TEST(DbfKeyIndexTest, FirstRecordWithExactlyTheKey) {
  ScratchDir dir;
  const auto file = dir / "T.DBF";
  writeFile(file, shortHeader(0x03, 8, {{"COD", 'C', 5}}) + "*ZZZ  " + " ABC  " + " abc  " +
                      " ABC  " + "      " + " B    " + "      " + " AB" + std::string(3, '\0') +
                      "\x1A");
  Table table = Table::open(file, Access::Shared);
  const KeyIndex index(table, 0);
  const Table moved = std::move(table);  // the index points into data that moves along
  ASSERT_EQ(moved.recordCount(), 7u);
  const struct {
    const char* key;
    std::optional<std::size_t> record;
  } cases[] = {
      {"ABC", 0},              // first of two
      {"abc", 1},              // case matters
      {"", 3},                 // the first empty value
      {"B", 4},                // stored with trailing blanks
      {"AB", 6},               // stored with trailing NULs
      {"ABC ", std::nullopt},  // the key is not trimmed
      {"A", std::nullopt},     // no prefix matches
      {"ZZZ", std::nullopt},   // deleted
  };
  for (const auto& c : cases) EXPECT_EQ(index.locate(c.key), c.record) << '"' << c.key << '"';
  EXPECT_EQ(moved.rawText(*index.locate("abc"), 0), "abc");
}

TEST(DbfKeyIndexTest, FoundRecordsCarryTheirValuesAsStored) {
  ScratchDir dir;
  const auto file = dir / "T.DBF";
  const std::vector<Desc> fields = {{"COD", 'C', 4}, {"ID", 'C', 6}, {"NOTE", 'C', 3}};
  writeFile(file, shortHeader(0x03, 5, fields) + " K1  ID1   ab " + "*K2  DEL   xx " +
                      " K2  ID2      " + " K1  OTHER zz " + " K3  I" + std::string(1, '\0') +
                      "D   " + std::string(3, '\0') + "\x1A");
  std::optional<KeyIndex> index;
  {
    const Table table = Table::open(file, Access::Shared);
    ASSERT_EQ(table.recordCount(), 4u);
    index.emplace(table, 0, std::vector<std::size_t>{1, 2});
  }  // the index keeps what it needs of the table
  const auto k1 = index->find("K1");
  ASSERT_TRUE(k1.has_value());
  EXPECT_EQ(k1->record(), 0u);  // the first of two
  EXPECT_EQ(k1->value(0), "ID1");
  EXPECT_EQ(k1->value(1), "ab");
  const auto k2 = index->find("K2");
  ASSERT_TRUE(k2.has_value());
  EXPECT_EQ(k2->record(), 1u);  // the deleted record is not counted
  EXPECT_EQ(k2->value(0), "ID2");
  EXPECT_EQ(k2->value(1), "");
  const auto k3 = index->find("K3");
  ASSERT_TRUE(k3.has_value());
  EXPECT_EQ(k3->value(0), std::string_view("I\0D", 3));  // only the trailing NULs go
  EXPECT_EQ(k3->value(1), "");
  EXPECT_THROW(k3->value(2), std::out_of_range);
  EXPECT_FALSE(index->find("K4").has_value());
  EXPECT_FALSE(index->find("k1").has_value());
  EXPECT_EQ(index->locate("K3"), 3u);
}

TEST(DbfKeyIndexTest, ManyKeysEachFindTheirFirstRecord) {
  ScratchDir dir;
  const auto file = dir / "T.DBF";
  std::string records;
  const std::size_t count = 3000;
  for (std::size_t i = 0; i < count; ++i) {
    // Keys repeat every 1000 records and differ only in their last characters.
    const std::string key = "MAT" + std::to_string(i % 1000);
    const std::string id = std::to_string(i);
    records += " " + key + std::string(10 - key.size(), ' ') + id + std::string(6 - id.size(), ' ');
  }
  writeFile(file, shortHeader(0x03, static_cast<std::uint32_t>(count),
                              {{"COD", 'C', 10}, {"ID", 'C', 6}}) +
                      records + "\x1A");
  const Table table = Table::open(file, Access::Shared);
  const KeyIndex index(table, 0, {1});
  for (std::size_t k = 0; k < 1000; ++k) {
    const auto found = index.find("MAT" + std::to_string(k));
    ASSERT_TRUE(found.has_value()) << k;
    EXPECT_EQ(found->record(), k);
    EXPECT_EQ(found->value(0), std::to_string(k));
  }
  EXPECT_FALSE(index.find("MAT1000").has_value());
  EXPECT_FALSE(index.find("MAT").has_value());
  EXPECT_FALSE(index.find("").has_value());
}

}  // namespace
}  // namespace thp::dbf
