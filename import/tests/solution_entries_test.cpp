// How SOLUC records become dsolucion entries, at every table level, and how the
// result document around them is built and encoded.

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_run.hpp"
#include "import_test_support.hpp"
#include "soluc_builder.hpp"

namespace thp::importer::testing {
namespace {

struct EntryCase {
  const char* what;
  RecordSpec record;
  std::optional<Attributes> expected;  // no entry when absent
};

RecordSpec deleted(RecordSpec record) {
  record.deleted = true;
  return record;
}

// Codes as the export of kExchangeDocument gives them; see import_test_support.hpp.
std::vector<EntryCase> entryCases() {
  const auto r = solucRecord;
  const auto e = entry;
  const char* room = "Aula Ñ €";
  return {
      {"every code found", r("1", "1", "1", "1A", "MAT", "TUT", "JLM", "A1"),
       e("M01", "Gº1", "Pñ01", room, "Tutoría€", "1", "1", "1", "C1")},
      {"LECT is looked up as LECTIVA, not as the code LECT",
       r("2", "3", "2", "1A", "FIS", "LECT", "JLM", "A1"),
       e("FISQ01", "Gº1", "Pñ01", room, "A01", "2", "3", "2", "C1")},
      {"GUAR becomes GUARDIA, which as no code is kept as text",
       r("3", "6", "1", "1A", "MAT", "GUAR", "JLM", "A1"),
       e("M01", "Gº1", "Pñ01", room, "GUARDIA", "3", "6", "1", "C1")},
      {"a deleted record gives no entry",
       deleted(r("5", "5", "1", "1A", "MAT", "TUT", "JLM", "A1")), std::nullopt},
      {"lower-case lect is neither mapped nor found",
       r("4", "2", "1", "1A", "MAT", "lect", "JLM", "A1"),
       e("M01", "Gº1", "Pñ01", room, "lect", "4", "2", "1", "C1")},
      {"a task that is a subject code gives that subject's IDASIG",
       r("5", "4", "1", "1A", "FIS", "MAT", "JLM", "A1"),
       e("FISQ01", "Gº1", "Pñ01", room, "M01", "5", "4", "1", "C1")},
      {"a task equal to the first four characters of the subject's IDASIG gives the IDASIG",
       r("1", "5", "1", "1A", "FIS", "FISQ", "JLM", "A1"),
       e("FISQ01", "Gº1", "Pñ01", room, "FISQ01", "1", "5", "1", "C1")},
      {"the four characters are those of the tables, not bytes of UTF-8",
       r("2", "5", "1", "1A", "ANO", "A\xF1o1", "JLM", "A1"),
       e("Año1X", "Gº1", "Pñ01", room, "Año1X", "2", "5", "1", "C1")},
      {"a task that is a longer prefix of the IDASIG is kept as it is",
       r("3", "5", "1", "1A", "FIS", "FISQ0", "JLM", "A1"),
       e("FISQ01", "Gº1", "Pñ01", room, "FISQ0", "3", "5", "1", "C1")},
      {"an unknown task gives its own text", r("4", "5", "1", "1A", "MAT", "XYZ", "JLM", "A1"),
       e("M01", "Gº1", "Pñ01", room, "XYZ", "4", "5", "1", "C1")},
      {"markup characters in a value are written so that they read back",
       r("4", "6", "1", "1A", "MAT", "<&\"'>", "JLM", "A1"),
       e("M01", "Gº1", "Pñ01", room, "<&\"'>", "4", "6", "1", "C1")},
      {"DIA 0 gives no entry", r("0", "1", "1", "1A", "MAT", "TUT", "JLM", "A1"), std::nullopt},
      {"a blank DIA gives no entry", r("", "1", "1", "1A", "MAT", "TUT", "JLM", "A1"),
       std::nullopt},
      {"HORA 0 gives no entry", r("1", "0", "1", "1A", "MAT", "TUT", "JLM", "A1"), std::nullopt},
      {"an unknown group leaves cgrupo and idcurso empty",
       r("5", "1", "1", "9Z", "MAT", "TUT", "JLM", "A1"),
       e("M01", "", "Pñ01", room, "Tutoría€", "5", "1", "1", "")},
      {"an unknown teacher leaves cprofe empty", r("5", "2", "1", "1A", "MAT", "TUT", "XX", "A1"),
       e("M01", "Gº1", "", room, "Tutoría€", "5", "2", "1", "C1")},
      {"teacher codes are compared with case", r("5", "3", "1", "1A", "MAT", "TUT", "jlm", "A1"),
       e("M01", "Gº1", "", room, "Tutoría€", "5", "3", "1", "C1")},
      {"an unknown room leaves caula empty", r("5", "4", "1", "1A", "MAT", "TUT", "JLM", "B7"),
       e("M01", "Gº1", "Pñ01", "", "Tutoría€", "5", "4", "1", "C1")},
      {"an unknown subject gives no entry", r("1", "2", "1", "1A", "QUI", "TUT", "JLM", "A1"),
       std::nullopt},
      {"subject codes are compared with case", r("1", "3", "1", "1A", "mat", "TUT", "JLM", "A1"),
       std::nullopt},
      {"subject codes are compared whole", r("1", "4", "1", "1A", "MA", "TUT", "JLM", "A1"),
       std::nullopt},
      {"an empty subject does not find the subject with an empty code",
       r("1", "6", "1", "1A", "", "TUT", "JLM", "A1"), std::nullopt},
      {"empty group, teacher and room codes find none of the records with an empty code",
       r("2", "2", "1", "", "MAT", "TUT", "", ""),
       e("M01", "", "", "", "Tutoría€", "2", "2", "1", "")},
      {"an empty task gives an empty activity", r("2", "6", "1", "1A", "MAT", "", "JLM", "A1"),
       e("M01", "Gº1", "Pñ01", room, "", "2", "6", "1", "C1")},
  };
}

struct Level {
  const char* name;
  DbfLevel level;
  std::vector<FieldSpec> fields;
};

void PrintTo(const Level& level, std::ostream* out) { *out << level.name; }

// The same SOLUC at each level: other field types and order, other name case,
// fields the import does not read.
const Level kLevels[] = {
    {"DBase3",
     DbfLevel::DBase3,
     {{"DIA", 'N', 1},
      {"HORA", 'N', 2},
      {"SESIONES", 'N', 2},
      {"CODGRUPO", 'C', 10},
      {"ASIG", 'C', 10},
      {"TAREA", 'C', 10},
      {"PROF", 'C', 10},
      {"AULA", 'C', 10},
      {"SEMANA", 'C', 1}}},
    {"DBase4WithMemo",
     DbfLevel::DBase4Memo,
     {{"asig", 'C', 10},
      {"codgrupo", 'C', 10},
      {"prof", 'C', 10},
      {"aula", 'C', 10},
      {"tarea", 'C', 10},
      {"dia", 'C', 1},
      {"hora", 'C', 2},
      {"sesiones", 'C', 2},
      {"notas", 'M', 10}}},
    {"Level7",
     DbfLevel::Level7,
     {{"SEMANA", 'C', 1},
      {"ORDEN", 'I', 4},
      {"Tarea", 'C', 10},
      {"Aula", 'C', 10},
      {"Prof", 'C', 10},
      {"Asig", 'C', 10},
      {"CodGrupo", 'C', 10},
      {"Sesiones", 'N', 2},
      {"Hora", 'N', 2},
      {"Dia", 'N', 1}}},
    {"Level7WithIntegerFields",
     DbfLevel::Level7,
     {{"DIA", 'I', 4},
      {"HORA", 'I', 4},
      {"SESIONES", 'I', 4},
      {"CODGRUPO", 'C', 10},
      {"ASIG", 'C', 10},
      {"TAREA", 'C', 10},
      {"PROF", 'C', 10},
      {"AULA", 'C', 10},
      {"ORDEN", 'I', 4}}},
    {"FoxPro",
     DbfLevel::FoxPro,
     {{"dia", 'N', 2},
      {"hora", 'C', 2},
      {"sesiones", 'N', 2},
      {"codgrupo", 'C', 10},
      {"aula", 'C', 10},
      {"prof", 'C', 10},
      {"tarea", 'C', 10},
      {"asig", 'C', 10},
      {"id", 'I', 4},
      {"semana", 'C', 1}}},
};

class SolucLevels : public ::testing::TestWithParam<Level> {};

TEST_P(SolucLevels, RecordsBecomeTheSameEntriesAtEveryLevel) {
  const ImportSetup setup;
  const std::vector<EntryCase> cases = entryCases();
  std::vector<RecordSpec> records;
  int order = 0;
  for (const EntryCase& c : cases) {
    RecordSpec record = c.record;
    ++order;
    // Values for the fields nobody reads, negative ones too.
    record.values["ORDEN"] = record.values["ID"] = std::to_string(order % 2 ? order : -order);
    record.values["NOTAS"] = order % 3 ? "" : std::to_string(order);
    records.push_back(record);
  }
  setup.writeSoluc(dbfBytes(GetParam().level, GetParam().fields, records));

  const ImportResult result = setup.run();
  const std::vector<Attributes> entries = entriesIn(parseIndependently(setup.result));

  std::size_t next = 0;
  for (const EntryCase& c : cases) {
    if (!c.expected) continue;
    SCOPED_TRACE(c.what);
    ASSERT_LT(next, entries.size());
    EXPECT_EQ(entries[next], *c.expected);
    ++next;
  }
  EXPECT_EQ(entries.size(), next);
  EXPECT_EQ(result.report.entries, next);
}

INSTANTIATE_TEST_SUITE_P(ImportSolucion, SolucLevels, ::testing::ValuesIn(kLevels),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

// DIA, HORA and SESIONES of one record, with the separator of the run.
struct RenderingCase {
  const char* what;
  FieldSpec dia, hora, sesiones;
  std::string diaValue, horaValue, sesionesValue;
  char separator;
  std::optional<std::array<std::string, 3>> expected;  // dia, hora, sesiones; no entry if absent
};

void PrintTo(const RenderingCase& c, std::ostream* out) { *out << c.what; }

const FieldSpec kDiaN{"DIA", 'N', 1};
const FieldSpec kHoraN{"HORA", 'N', 2};
const FieldSpec kSesionesN{"SESIONES", 'N', 2};
const FieldSpec kHoraN41{"HORA", 'N', 4, 1};
const FieldSpec kHoraC{"HORA", 'C', 4};
const FieldSpec kSesionesC{"SESIONES", 'C', 6};
using Rendered = std::array<std::string, 3>;

// clang-format off
const RenderingCase kRenderings[] = {
    {"whole numbers without decimals", kDiaN, kHoraN, kSesionesN, "4", "3", "2", ',',
     Rendered{"4", "3", "2"}},
    {"one decimal with the decimal comma", kDiaN, kHoraN41, {"SESIONES", 'N', 4, 1},
     "1", "2.5", "1.0", ',', Rendered{"1", "2,5", "1,0"}},
    {"one decimal with the decimal point", kDiaN, kHoraN41, kSesionesN, "1", "2.5", "1", '.',
     Rendered{"1", "2.5", "1"}},
    {"a half hour is not hour 0", kDiaN, kHoraN41, kSesionesN, "1", "0.5", "1", ',',
     Rendered{"1", "0,5", "1"}},
    {"text right-trimmed", kDiaN, kHoraC, kSesionesC, "2", "3", "11\xBD", ',',
     Rendered{"2", "3", "11½"}},
    {"text with a decimal comma stays as written", kDiaN, kHoraC, kSesionesC, "2", "2,5", "1", ',',
     Rendered{"2", "2,5", "1"}},
    {"a blank SESIONES gives an empty sesiones", kDiaN, kHoraN, kSesionesC, "2", "3", "", ',',
     Rendered{"2", "3", ""}},
    {"the day as an integer from text", {"DIA", 'C', 2}, kHoraN, kSesionesN, " 3", "1", "1", ',',
     Rendered{"3", "1", "1"}},
    {"the day as an integer from a number with decimals", {"DIA", 'N', 3, 1}, kHoraN, kSesionesN,
     "2.0", "1", "1", ',', Rendered{"2", "1", "1"}},
    {"hour 0.0 gives no entry", kDiaN, kHoraN41, kSesionesN, "1", "0.0", "1", ',', std::nullopt},
    {"hour 0,0 as text gives no entry", kDiaN, kHoraC, kSesionesN, "1", "0,0", "1", ',',
     std::nullopt},
    {"a day 0 skips the record without reading the hour", kDiaN, kHoraN, kSesionesN, "0", "**",
     "1", ',', std::nullopt},
    {"a blank hour gives no entry", kDiaN, kHoraC, kSesionesN, "1", "", "1", ',', std::nullopt},
};
// clang-format on

class SolucRendering : public ::testing::TestWithParam<RenderingCase> {};

TEST_P(SolucRendering, DayHourAndSessionsAreWrittenAsTheTableRendersThem) {
  const RenderingCase& c = GetParam();
  const ImportSetup setup;
  RecordSpec record =
      solucRecord(c.diaValue, c.horaValue, c.sesionesValue, "1A", "MAT", "TUT", "JLM", "A1");
  setup.writeSoluc(dbfBytes(DbfLevel::DBase3,
                            {c.dia,
                             c.hora,
                             c.sesiones,
                             {"CODGRUPO", 'C', 10},
                             {"ASIG", 'C', 10},
                             {"TAREA", 'C', 10},
                             {"PROF", 'C', 10},
                             {"AULA", 'C', 10}},
                            {record}));
  setup.run(c.separator);

  const std::vector<Attributes> entries = entriesIn(parseIndependently(setup.result));
  if (!c.expected) {
    EXPECT_TRUE(entries.empty());
    return;
  }
  const auto& [dia, hora, sesiones] = *c.expected;
  EXPECT_EQ(entries, std::vector<Attributes>{entry("M01", "Gº1", "Pñ01", "Aula Ñ €", "Tutoría€",
                                                   dia, hora, sesiones, "C1")});
}

std::string testNameOf(std::string_view what) {
  std::string name;
  bool upper = true;
  for (const char c : what) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      upper = true;
      continue;
    }
    name += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    upper = false;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(ImportSolucion, SolucRendering, ::testing::ValuesIn(kRenderings),
                         [](const auto& testInfo) { return testNameOf(testInfo.param.what); });

TEST(ImportResultDocument, HoldsTheNewRootWithTheEntriesAndWhatLayOutsideTheOldRoot) {
  const ImportSetup setup;
  setup.writeSoluc(standardSoluc({solucRecord("3", "2", "1", "1A", "MAT", "LECT", "JLM", "A1")}));
  std::vector<std::pair<std::string, std::string>> before;
  for (const auto& file : std::filesystem::directory_iterator(setup.htemp))
    before.emplace_back(file.path().filename().string(), readFile(file.path()));
  const std::string exchangeDocument = readFile(setup.document);

  const ImportResult result = setup.run();

  EXPECT_EQ(result.outcome, RunOutcome::Finished);
  EXPECT_EQ(result.report.resultDocument, setup.result);
  EXPECT_EQ(result.report.entries, 1u);
  const std::vector<ParsedNode> expected = {
      {'C', 0, "", {}, " Exportación de prueba "},
      {'P', 0, "pladuna", {}, "origen=\"prueba\""},
      {'E',
       0,
       "centro",
       {{"codigo_interno", "28000001"},
        {"nombre", "IES Peñalara €"},
        {"curso", "2026-2027"},
        {"fecha_exportacion", kTimestamp},
        {"version", "3.2"}},
       {}},
      {'E', 1, "solucion_horario", {}, {}},
      {'E',
       2,
       "dsolucion",
       entry("M01", "Gº1", "Pñ01", "Aula Ñ €", "A01", "3", "2", "1", "C1"),
       {}},
      {'C', 0, "", {}, " fin "},
  };
  EXPECT_EQ(parseIndependently(setup.result), expected);

  EXPECT_EQ(readFile(setup.document), exchangeDocument);
  for (const auto& [name, bytes] : before)
    EXPECT_EQ(readFile(setup.htemp / name), bytes) << name << " changed";
  EXPECT_EQ(entriesOf(setup.folder),
            (std::vector<std::string>{"ResultadoHorvalcentro.xml", "centro.xml"}));
}

TEST(ImportResultDocument, AnEmptySolucGivesAnEmptySection) {
  const ImportSetup setup;
  setup.writeSoluc(standardSoluc({}));
  setup.run();
  const std::vector<ParsedNode> nodes = parseIndependently(setup.result);
  ASSERT_EQ(nodes.size(), 5u);
  EXPECT_EQ(nodes[2].name, "centro");
  EXPECT_EQ(nodes[3].name, "solucion_horario");
  EXPECT_EQ(nodes[4].kind, 'C');
}

struct EncodingCase {
  const char* name;
  const char* encoding;  // of the exchange document
  const char* euro;      // how the result must hold € and ½
  const char* half;
};

void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.encoding; }

const EncodingCase kEncodings[] = {
    {"Utf8", "UTF-8", "\xE2\x82\xAC", "\xC2\xBD"},
    {"Latin1", "ISO-8859-1", "&#8364;", "\xBD"},
    {"Windows1252", "windows-1252", "\x80", "\xBD"},
};

class ResultEncoding : public ::testing::TestWithParam<EncodingCase> {};

// Values with accents, ½ and € from the tables, and the header, read back
// exactly; ISO-8859-1 lacks €, which then becomes a character reference.
TEST_P(ResultEncoding, TheResultIsWrittenInTheExchangeDocumentsEncoding) {
  const EncodingCase& c = GetParam();
  const ImportSetup setup(c.encoding);
  std::vector<FieldSpec> fields = standardSolucFields();
  for (FieldSpec& field : fields)
    if (field.name == "SESIONES") field = {"SESIONES", 'C', 4};
  setup.writeSoluc(dbfBytes(DbfLevel::Level7, fields,
                            {solucRecord("1", "2", "1\xBD", "1A", "TUT", "\x80X", "JLM", "A1")}));
  setup.run();

  const std::string bytes = readFile(setup.result);
  const std::string declaration =
      std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding + "\"?>";
  EXPECT_EQ(bytes.substr(0, declaration.size()), declaration);
  EXPECT_NE(bytes.find(std::string("cactiv=\"") + c.euro + "X\""), std::string::npos);
  EXPECT_NE(bytes.find(std::string("sesiones=\"1") + c.half + "\""), std::string::npos);
  if (std::string_view(c.encoding) != "UTF-8") {
    EXPECT_EQ(bytes.find('\xC2'), std::string::npos) << "UTF-8 in a single-byte document";
    EXPECT_EQ(bytes.find('\xE2'), std::string::npos) << "UTF-8 in a single-byte document";
  }

  const std::vector<ParsedNode> nodes = parseIndependently(setup.result);
  ASSERT_GE(nodes.size(), 3u);
  EXPECT_EQ(nodes[2].attributes.at(1).second, "IES Peñalara €");
  EXPECT_EQ(entriesIn(nodes), std::vector<Attributes>{entry("Tutoría€", "Gº1", "Pñ01", "Aula Ñ €",
                                                            "€X", "1", "2", "1½", "C1")});
}

INSTANTIATE_TEST_SUITE_P(ImportSolucion, ResultEncoding, ::testing::ValuesIn(kEncodings),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace thp::importer::testing
