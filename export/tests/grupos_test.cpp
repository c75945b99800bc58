// GRUPOST: one record per group, codes unique without regard to case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

struct GroupCase {
  std::string label;
  std::vector<std::string> codes;
  std::vector<std::string> abrev;
};

void PrintTo(const GroupCase& c, std::ostream* os) { *os << c.label; }

class ExportGruposCodes : public ExportTest, public ::testing::WithParamInterface<GroupCase> {};

TEST_P(ExportGruposCodes, GivesEachGroupAShortUniqueCode) {
  Document d;
  for (const auto& code : GetParam().codes)
    d.grupos.push_back({code, "G", "N", "1", "A", "G", "C"});
  exportDocument(d);
  EXPECT_EQ(column("GRUPOST", "ABREV"), GetParam().abrev);
}

GroupCase repeated(std::string label, const std::string& code, std::size_t times) {
  GroupCase c{std::move(label), std::vector<std::string>(times, code), {code}};
  for (std::size_t k = 1; k < times; ++k)
    c.abrev.push_back(k < 10 ? code + std::to_string(k) : code.substr(0, 8) + std::to_string(k));
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportGruposCodes,
    ::testing::Values(
        GroupCase{"RepeatedCodeIsNumbered",
                  {"1ESO-A", "1ESO-A", "1ESO-A"},
                  {"1ESO-A", "1ESO-A1", "1ESO-A2"}},
        GroupCase{"CaseIsIgnored", {"2bach", "2BACH"}, {"2bach", "2BACH1"}},
        GroupCase{"TakenTenCharacterCodeKeepsItsFirstNine",
                  {"1BACH-CIEN", "1BACH-CIEN"},
                  {"1BACH-CIEN", "1BACH-CIE1"}},
        GroupCase{"LongCodeKeepsFirstEightAndLastTwo", {"2ESO-DIVERSIF", "X"}, {"2ESO-DIVIF", "X"}},
        GroupCase{"EmptyCode", {"", "", ""}, {"", "1", "2"}},
        // ABCDEFGHI, ABCDEFGHI1 to 9, then ABCDEFGH10 and ABCDEFGH11.
        repeated("TwoDigitNumbersKeepTheFirstEight", "ABCDEFGHI", 12)),
    [](const auto& p) { return p.param.label; });

using ExportGrupos = ExportTest;

TEST_F(ExportGrupos, CopiesTheGroupValues) {
  Document d;
  d.grupos = {{" 1ESO-A ", " " + std::string(90, 'd') + " ", " BACHILLER ", " 1234 ", " ABC ",
               " IDGRUPO-LARGO ", " IDCURSO-LARGO "},
              {"1ESO-B", "1º ESO B", "ESO", "1", "B", "G1", "C1"},
              {"1ESO-C", "1º ESO C", "ESO", "1", "C", "G1", "C1"}};  // same idgrupo: kept
  exportDocument(d);

  const auto r = rows("GRUPOST");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], (Row{{"ABREV", "1ESO-A"},
                       {"TURNO", ""},
                       {"NIVEL", "BACHI"},
                       {"CURSO", "123"},
                       {"GRUPO", "AB"},
                       {"MARCO", "0"},
                       {"IDGRUPO", "IDGRUPO-LA"},
                       {"IDCURSO", "IDCURSO-LA"},
                       {"DESCRIP", std::string(80, 'd')},
                       {"TUTOR", ""}}));
  EXPECT_EQ(r[1].at("DESCRIP"), "1º ESO B");
  EXPECT_EQ(r[2].at("IDGRUPO"), "G1");
  EXPECT_EQ(r[2].at("MARCO"), "0");
}

}  // namespace
}  // namespace thp::exporter::testing
