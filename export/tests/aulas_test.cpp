// AULAT: one record per room; a room without a code takes the start of its name.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

struct RoomCase {
  std::string label;
  std::vector<std::pair<std::string, std::string>> rooms;  // codigo, nombre
  std::vector<std::string> abrev;
};

void PrintTo(const RoomCase& c, std::ostream* os) { *os << c.label; }

class ExportAulasCodes : public ExportTest, public ::testing::WithParamInterface<RoomCase> {};

TEST_P(ExportAulasCodes, GivesEachRoomAShortUniqueCode) {
  Document d;
  for (const auto& [code, name] : GetParam().rooms) d.aulas.push_back({code, name, "", "R"});
  exportDocument(d);
  EXPECT_EQ(column("AULAT", "ABREV"), GetParam().abrev);
}

std::vector<std::pair<std::string, std::string>> elevenTimes(const std::string& code) {
  return std::vector<std::pair<std::string, std::string>>(11, {code, "Aula"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportAulasCodes,
    ::testing::Values(RoomCase{"EmptyCodeTakesTheNameStart",
                               {{"", "Laboratorio"}, {"", "Laboratorio de Química"}},
                               {"Labo", "Labo1"}},
                      RoomCase{"BlankEndingTheNameStartIsDropped",
                               {{"", "Lab 2"}, {"LAB", "Aula"}},
                               {"Lab", "LAB1"}},
                      RoomCase{"EmptyCodeAndName", {{"", ""}, {"", ""}}, {"", "1"}},
                      RoomCase{"CaseIsIgnored", {{"a1", "Aula"}, {"A1", "Aula"}}, {"a1", "A11"}},
                      RoomCase{"UniqueTenCharacterCodeIsKept",
                               {{"ABCDEFGHIJ", "A"}, {"X", "B"}},
                               {"ABCDEFGHIJ", "X"}},
                      RoomCase{"LongCodesAreNumberedAfterTheirFirstEight",
                               {{"ABCDEFGHIJK", "A"}, {"ABCDEFGHXYZW", "B"}},
                               {"ABCDEFGH1", "ABCDEFGH2"}},
                      RoomCase{"TenthTakenTenCharacterCodeIsNumberedAfterItsFirstEight",
                               elevenTimes("ABCDEFGHIJ"),
                               {"ABCDEFGHIJ", "ABCDEFGHI1", "ABCDEFGHI2", "ABCDEFGHI3",
                                "ABCDEFGHI4", "ABCDEFGHI5", "ABCDEFGHI6", "ABCDEFGHI7",
                                "ABCDEFGHI8", "ABCDEFGHI9", "ABCDEFGH1"}}),
    [](const auto& p) { return p.param.label; });

using ExportAulas = ExportTest;

TEST_F(ExportAulas, WritesNameCapacityAndIdentifier) {
  const std::string longId = "IDAULA-DE-VEINTICINCO-XX";
  Document d;
  d.aulas = {{"A1", " Aula 1 ", " 30 ", " " + longId + " "}, {"A2", "Aula 2", "  ", "R2"}};
  exportDocument(d);

  const auto r = rows("AULAT");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].at("NOMBRE"), "Aula 1");
  EXPECT_EQ(r[0].at("MAXALUM"), "30");
  EXPECT_EQ(r[0].at("IDAULA"), longId.substr(0, 20));
  EXPECT_EQ(r[1].at("MAXALUM"), "");  // blank capacity: no value, no error
  for (const auto& row : r) EXPECT_EQ(row.at("EDIFICIO"), "");
}

}  // namespace
}  // namespace thp::exporter::testing
