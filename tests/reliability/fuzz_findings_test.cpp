// Every input a fuzzer found to break a promise is kept in fuzz/findings/ and
// replayed here, with the promise the fuzzer checks: a dBase table opens or is
// refused, and every value reads or is refused, with an error naming the
// table; an exchange document or a SOLUC either goes through or is refused,
// and a refused run changes nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "formats/dbf/table.hpp"
#include "formats/error.hpp"
#include "tests/reliability/reliability_support.hpp"

namespace thp::reliability {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> findings(const char* target) {
  std::vector<fs::path> files;
  const fs::path folder = fs::path(THP_FUZZ_FINDINGS) / target;
  if (fs::is_directory(folder))
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
  return files;
}

// Runs `read`; a thp::Error is fine when it names the table.
template <typename Read>
void readOrRefuse(const fs::path& table, Read read) {
  try {
    read();
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find(table.string()), std::string::npos) << error.what();
  }
}

TEST(FuzzFindings, DbfReader) {
  ScratchDir scratch("thp-findings");
  for (const fs::path& finding : findings("dbf_reader")) {
    SCOPED_TRACE(finding.filename().string());
    const fs::path table = scratch / "TABLA.DBF";
    fs::copy_file(finding, table, fs::copy_options::overwrite_existing);
    readOrRefuse(table, [&] {
      const auto opened = dbf::Table::open(table, dbf::Access::Shared);
      for (std::size_t r = 0; r < opened.recordCount(); ++r)
        for (std::size_t f = 0; f < opened.fields().size(); ++f) {
          readOrRefuse(table, [&] { opened.text(r, f, ','); });
          readOrRefuse(table, [&] { opened.integer(r, f); });
          readOrRefuse(table, [&] { opened.number(r, f, ','); });
        }
    });
    count("fuzz findings replayed");
  }
}

TEST(FuzzFindings, ExportDocument) {
  for (const fs::path& finding : findings("export_document")) {
    SCOPED_TRACE(finding.filename().string());
    ScratchDir scratch("thp-findings");
    fs::create_directories(scratch / "HTEMP");
    const Outcome outcome =
        runTool({"export", finding.string(), "--dir", (scratch / "HTEMP").string()},
                {std::nullopt, "es_ES.UTF-8"});
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_TRUE(outcome.exitCode == 0 || outcome.exitCode == 1) << outcome.err;
    if (outcome.exitCode == 1) {
      EXPECT_EQ(snapshot(scratch / "HTEMP"), Tree{});
    }
    count("fuzz findings replayed");
  }
}

TEST(FuzzFindings, ImportSoluc) {
  const auto files = findings("import_soluc");
  if (files.empty()) return;
  if (std::system("locale -a 2>/dev/null | grep -qi '^es_ES.utf-\\?8$'") != 0)
    GTEST_SKIP() << "no es_ES.UTF-8 locale, which the sample's hours need";
  ScratchDir scratch("thp-findings");
  const fs::path htemp = scratch / "HTEMP";
  const fs::path document = scratch / "centro.xml";
  fs::create_directories(htemp);
  fs::copy_file(fs::path(THP_SAMPLES) / "centro.xml", document);
  const RunOptions spanish{std::nullopt, "es_ES.UTF-8"};
  ASSERT_EQ(runTool({"export", document.string(), "--dir", htemp.string()}, spanish).exitCode, 0);
  for (const fs::path& finding : files) {
    SCOPED_TRACE(finding.filename().string());
    fs::copy_file(finding, htemp / "SOLUC.DBF", fs::copy_options::overwrite_existing);
    fs::remove(scratch / "ResultadoHorvalcentro.xml");
    const Outcome outcome =
        runTool({"import", document.string(), "--dir", htemp.string()}, spanish);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_TRUE(outcome.exitCode == 0 || outcome.exitCode == 1) << outcome.err;
    EXPECT_EQ(fs::exists(scratch / "ResultadoHorvalcentro.xml"), outcome.exitCode == 0);
    count("fuzz findings replayed");
  }
}

}  // namespace
}  // namespace thp::reliability
