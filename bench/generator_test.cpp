// The benchmark's generated data goes through the tool as planned: a
// mid-size document exports the records per table its generator expects, and
// the SOLUC written from those tables imports into one dsolucion per entry of
// a known subject, with the identifiers the tables hold for it.

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "bench/generator.hpp"
#include "export/export_run.hpp"
#include "formats/dbf/table.hpp"
#include "import/import_run.hpp"
#include "tests/support/scratch_dir.hpp"

namespace thp::bench {
namespace {

using testsupport::readFile;
using testsupport::ScratchDir;

class QuietUi : public RunUserInterface {
 public:
  explicit QuietUi(std::filesystem::path document) : document_(std::move(document)) {}
  std::optional<std::filesystem::path> chooseExchangeDocument() override { return document_; }
  void showMessage(std::string_view) override {}
  void setBusy(bool) override {}
  void closeDialog() override {}

 private:
  std::filesystem::path document_;
};

std::size_t noticesSaying(const exporter::ExportReport& report, exchange::Section section,
                          std::string_view words) {
  return static_cast<std::size_t>(
      std::count_if(report.notices.begin(), report.notices.end(), [&](const auto& notice) {
        return notice.section == section && notice.message.find(words) != std::string::npos;
      }));
}

std::string attribute(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return "<absent>";
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

bool named(xmlNodePtr node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

TEST(GeneratedData, SameSeedSameBytesOtherSeedOtherBytes) {
  const ScratchDir scratch;
  const auto a = scratch.path() / "a.xml", b = scratch.path() / "b.xml",
             c = scratch.path() / "c.xml";
  writeDocument({2000, 3}, a);
  writeDocument({2000, 3}, b);
  writeDocument({2000, 4}, c);
  EXPECT_EQ(readFile(a), readFile(b));
  EXPECT_NE(readFile(a), readFile(c));
}

TEST(GeneratedData, MidSizeDocumentExportsAndImportsAsPlanned) {
  const ScratchDir scratch;
  const std::filesystem::path document = scratch.path() / "centro.xml";
  const std::filesystem::path htemp = scratch.path() / "HTEMP";
  std::filesystem::create_directories(htemp);
  const DocumentFacts facts = writeDocument({20000, 11}, document);

  // The proportions of a real school, with colliding codes among them.
  EXPECT_EQ(facts.subjects + facts.activities, 1000u);
  EXPECT_EQ(facts.records[1], 500u);
  EXPECT_EQ(facts.records[2], 250u);
  EXPECT_EQ(facts.records[3], 333u);
  EXPECT_GE(facts.records[4], 30u);
  EXPECT_LE(facts.records[4], 60u);
  EXPECT_GT(facts.duplicateSubjects, 0u);
  EXPECT_GT(facts.assignmentsNoGroup, 0u);
  EXPECT_GT(facts.assignmentsNoTeacher, 0u);

  exporter::ExportSettings settings;
  settings.decimalSeparator = '.';
  const auto loaded = exporter::readForExport(document);
  const exporter::ExportReport report = exporter::exportTables(loaded, htemp, settings);
  for (std::size_t t = 0; t < exporter::kTableCount; ++t)
    EXPECT_EQ(report.records[t], facts.records[t]) << "table " << t;
  EXPECT_EQ(noticesSaying(report, exchange::kMaterias, "omitida"), facts.duplicateSubjects);
  EXPECT_EQ(noticesSaying(report, exchange::kAsignaturas, "omitida"), facts.assignmentsOmitted);
  EXPECT_EQ(noticesSaying(report, exchange::kAsignaturas, "sin grupo"), facts.assignmentsNoGroup);
  EXPECT_EQ(noticesSaying(report, exchange::kAsignaturas, "sin profesor"),
            facts.assignmentsNoTeacher);
  // Codes collided and were renumbered in every table that numbers them.
  EXPECT_GT(noticesSaying(report, exchange::kMaterias, "escrita con el código"), 0u);
  EXPECT_GT(noticesSaying(report, exchange::kProfesores, "escrito con el código"), 0u);
  EXPECT_GT(noticesSaying(report, exchange::kAulas, "escrita con el código"), 0u);
  EXPECT_GT(noticesSaying(report, exchange::kGrupos, "escrito con el código"), 0u);

  std::vector<SolucEntry> entries;
  const SolucFacts soluc = writeSoluc(htemp, 11, &entries);
  ASSERT_EQ(entries.size(), soluc.records);
  EXPECT_GT(soluc.records, facts.records[5] * 3 / 2);  // 1.5 per hour, hours mostly above 1
  EXPECT_GT(soluc.deleted, 0u);
  EXPECT_GT(soluc.unknownSubject, 0u);
  EXPECT_GT(soluc.zeroDay, 0u);
  EXPECT_EQ(dbf::Table::open(htemp / "SOLUC.DBF", dbf::Access::Shared).recordCount(),
            soluc.records - soluc.deleted);

  DialogState state;
  QuietUi ui(document);
  importer::ImportSettings importSettings;
  importSettings.workingDirectory = htemp;
  importSettings.decimalSeparator = '.';
  importSettings.exportTimestamp = "01/01/2027 8:00:00";
  const auto imported = importer::BImportarClick(state, ui, importSettings);
  ASSERT_EQ(imported.outcome, RunOutcome::Finished);
  EXPECT_EQ(imported.report.entries, soluc.entries);

  // The result as libxml2's tree parser reads it, entry by entry.
  const std::filesystem::path result = scratch.path() / "ResultadoHorvalcentro.xml";
  xmlDocPtr parsed =
      xmlReadFile(result.string().c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
  ASSERT_NE(parsed, nullptr) << "the result document does not parse";
  const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> owner(parsed, &xmlFreeDoc);
  xmlNodePtr root = xmlDocGetRootElement(parsed);
  ASSERT_TRUE(named(root, "centro"));
  EXPECT_EQ(attribute(root, "nombre"), "IES Generado n.º 11");
  xmlNodePtr solution = root->children;
  while (solution != nullptr && !named(solution, "solucion_horario")) solution = solution->next;
  ASSERT_NE(solution, nullptr);

  xmlNodePtr node = solution->children;
  std::size_t checked = 0;
  for (const SolucEntry& entry : entries) {
    if (!entry.givesEntry) continue;
    while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->next;
    ASSERT_NE(node, nullptr) << "missing dsolucion for entry " << checked;
    ASSERT_TRUE(named(node, "dsolucion"));
    ASSERT_EQ(attribute(node, "casig"), entry.subjectId) << "entry " << checked;
    ASSERT_EQ(attribute(node, "cgrupo"), entry.groupId) << "entry " << checked;
    ASSERT_EQ(attribute(node, "cprofe"), entry.teacherId) << "entry " << checked;
    ASSERT_EQ(attribute(node, "caula"), entry.roomId) << "entry " << checked;
    ASSERT_EQ(attribute(node, "dia"), std::to_string(entry.day)) << "entry " << checked;
    ASSERT_EQ(attribute(node, "hora"), std::to_string(entry.hour)) << "entry " << checked;
    ++checked;
    node = node->next;
  }
  while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->next;
  EXPECT_EQ(node, nullptr) << "more dsolucion elements than entries";
  EXPECT_EQ(checked, soluc.entries);
}

}  // namespace
}  // namespace thp::bench
