// The bundled sample end to end: export samples/centro.xml, import the
// timetable in samples/SOLUC.DBF and compare the whole result document.

#include <gtest/gtest.h>

#include <filesystem>

#include "import/import_run.hpp"
#include "import_test_support.hpp"

namespace thp::importer::testing {
namespace {

TEST(SampleImport, CentroWithItsSolutionGivesTheExpectedResultDocument) {
  const std::filesystem::path samples = std::filesystem::path(THP_PROJECT_DIR) / "samples";
  const std::filesystem::path expected =
      std::filesystem::path(THP_IMPORT_TESTS_DIR) / "expected" / "ResultadoHorvalcentro.xml";
  const ScratchDir scratch;
  const std::filesystem::path htemp = scratch / "HTEMP";
  const std::filesystem::path document = scratch / "centro.xml";
  std::filesystem::create_directories(htemp);
  std::filesystem::copy_file(samples / "centro.xml", document);
  exportTables(document, htemp, ',');
  std::filesystem::copy_file(samples / "SOLUC.DBF", htemp / "SOLUC.DBF");

  DialogState state;
  RecordingUi ui;
  ui.choice = document;
  ImportSettings settings;
  settings.workingDirectory = htemp;
  settings.decimalSeparator = ',';
  settings.exportTimestamp = kTimestamp;
  BImportarClick(state, ui, settings);

  EXPECT_EQ(readFile(scratch / "ResultadoHorvalcentro.xml"), readFile(expected));
  EXPECT_EQ(readFile(document), readFile(samples / "centro.xml"));
}

}  // namespace
}  // namespace thp::importer::testing
