// PROFT: one record per teacher, codes unique without regard to case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

struct CodeCase {
  std::string label;
  std::vector<std::string> codes;  // codigo of each teacher, in document order
  std::vector<std::string> abrev;  // ABREV of the records
};

void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.label; }

class ExportProfesoresCodes : public ExportTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(ExportProfesoresCodes, NumbersTakenCodes) {
  Document d;
  for (const auto& code : GetParam().codes) d.profesores.push_back({code, "N", "A", "B", "D", "P"});
  exportDocument(d);
  EXPECT_EQ(column("PROFT", "ABREV"), GetParam().abrev);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportProfesoresCodes,
    ::testing::Values(CodeCase{"CaseIsIgnored_EachKeepsItsOwnSpelling",
                               {"ana", "ANA", "Ana"},
                               {"ana", "ANA1", "Ana2"}},
                      CodeCase{"AccentedLettersIgnoreCaseToo", {"ñu", "ÑU"}, {"ñu", "ÑU1"}},
                      CodeCase{"RenumberedCodesCountAsTaken", {"A", "A", "A1"}, {"A", "A1", "A11"}},
                      CodeCase{"EmptyCode", {"", ""}, {"", "1"}},
                      CodeCase{"TakenTenCharacterCodeKeepsItsFirstNine",
                               {"ABCDEFGHIJ", "abcdefghij"},
                               {"ABCDEFGHIJ", "abcdefghi1"}},
                      // A longer code is cut to ten first and then treated like any code.
                      CodeCase{"LongCodesAreCutToTenFirst",
                               {"ABCDEFGHIJKL", "ABCDEFGHIJXY", "ABCDEFGHI JK"},
                               {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI"}}),
    [](const auto& p) { return p.param.label; });

using ExportProfesores = ExportTest;

TEST_F(ExportProfesores, WritesNameDocumentAndIdentifier) {
  Document d;
  d.profesores = {{" ana ", " Ana ", " Gil ", "", " 12345678901234567 ", " IDENTIFICADOR "},
                  {"LUIS", "", "", "", "", "P2"},
                  {"MAR", std::string(50, 'n'), std::string(50, 'a'), "x", "1", "P3"}};
  exportDocument(d);

  const auto r = rows("PROFT");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].at("ABREV"), "ana");
  // The parts are trimmed one by one and joined; the table reads back without
  // the final blank left by the empty second surname.
  EXPECT_EQ(r[0].at("NOMBRE"), "Ana, Gil");
  EXPECT_EQ(r[0].at("DNI"), "12345678901234");
  EXPECT_EQ(r[0].at("IDPROF"), "IDENTIFICA");
  EXPECT_EQ(r[1].at("NOMBRE"), ",");
  EXPECT_EQ(r[2].at("NOMBRE"), std::string(50, 'n') + ", " + std::string(28, 'a'));
  for (const auto& row : r) EXPECT_EQ(row.at("DEPART"), "");
}

}  // namespace
}  // namespace thp::exporter::testing
