// The codes of teachers, rooms and groups name one record each: in every case,
// including those where the codes must be shortened or numbered beyond nine,
// ABREV reads back with at most ten characters and unique without regard to case.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "export/tests/export_fixture.hpp"

namespace thp::exporter::testing {
namespace {

std::vector<std::string> awkwardCodes() {
  std::vector<std::string> codes;
  auto add = [&codes](const std::string& code, int times) {
    for (int i = 0; i < times; ++i) codes.push_back(code);
  };
  add("ABCDEFGHIJKL", 3);  // longer than ten, repeated
  add("ABCDEFGHKL", 1);    // its first eight and last two
  add("abcdefghij", 12);   // numbered beyond nine
  add("ABCDEFGH10", 1);    // where the numbering beyond nine would go
  add("abcdefgh11", 1);
  add("ABCDEFGHI", 12);     // nine characters, numbered beyond nine
  add("2ESO-DIVERSIF", 2);  // shortened twice to the same code
  add("2eso-divif", 1);
  add("ABCDEFGHI XYZ", 2);  // a cut to ten ends in a blank
  add("", 3);
  add("1", 1);
  add("Q", 12);
  add("ÁRBOL", 1);
  add("árbol", 1);
  return codes;
}

class ExportShortCodes : public ExportTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ExportShortCodes, AbrevIsUniqueAndAtMostTenCharacters) {
  const auto codes = awkwardCodes();
  Document d;
  for (const auto& code : codes) {
    if (GetParam() == "PROFT") d.profesores.push_back({code, "N", "A", "B", "D", "P"});
    if (GetParam() == "AULAT") d.aulas.push_back({code, "Aula", "", "R"});
    if (GetParam() == "GRUPOST") d.grupos.push_back({code, "G", "N", "1", "A", "G", "C"});
  }
  exportDocument(d);

  const dbf::Table t = open(GetParam());
  ASSERT_EQ(t.recordCount(), codes.size());
  std::set<std::string> seen;
  for (std::size_t r = 0; r < t.recordCount(); ++r) {
    const std::string_view abrev = t.rawText(r, t.field("ABREV"));
    EXPECT_LE(abrev.size(), 10u) << text::fromCp1252(abrev);
    EXPECT_TRUE(seen.insert(text::upperCp1252(abrev)).second)
        << "record " << r << " (codigo '" << codes[r] << "') repeats '" << text::fromCp1252(abrev)
        << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, ExportShortCodes, ::testing::Values("PROFT", "AULAT", "GRUPOST"),
                         [](const auto& p) { return p.param; });

}  // namespace
}  // namespace thp::exporter::testing
