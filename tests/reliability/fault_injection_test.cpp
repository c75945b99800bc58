// Faults injected into the write paths of the real command-line tool: a disk
// that fills part-way through a write (a file size limit on the process), a
// working directory that is missing or cannot be written, a table that cannot
// be replaced or that another program holds, a result document's folder that
// cannot be written. After each: the tool says which file, exits with 1, and
// every table, the result document and the documents are byte for byte as
// before, with no temporary file or journal left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/reliability/reliability_support.hpp"

namespace thp::reliability {
namespace {

namespace fs = std::filesystem;

const SchoolSize kSchool{30, 20, 10, 10, 30, 300};
const char* const kTables[] = {"ASIGNOMT.DBF", "PROFT.DBF",      "AULAT.DBF",
                               "GRUPOST.DBF",  "DIASHORAST.DBF", "ASIGT.DBF"};

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(htemp_);
    writeFile(document_, schoolDocument(kSchool, 0));
    writeFile(changed_, schoolDocument(kSchool, 1));
    ASSERT_EQ(exportDocument(document_).exitCode, 0);
    writeSoluc(htemp_ / "SOLUC.DBF", kSchool, 200);
    ASSERT_EQ(importDocument(document_).exitCode, 0);
    writeSoluc(htemp_ / "SOLUC.DBF", kSchool, 400);  // the next import writes more
  }

  Outcome exportDocument(const fs::path& document, const RunOptions& options = {}) {
    return runTool({"export", document.string(), "--dir", htemp_.string()}, options);
  }
  Outcome importDocument(const fs::path& document, const RunOptions& options = {}) {
    return runTool({"import", document.string(), "--dir", htemp_.string()}, options);
  }

  // Runs the tool under a fault and checks that it failed naming `named`
  // (and saying `reason`), and that nothing changed.
  void expectNothingChanged(const std::function<Outcome()>& run, const fs::path& named,
                            const std::string& reason, int exitCode = 1) {
    const Tree before = snapshot(folder_);
    const Outcome outcome = run();
    EXPECT_EQ(outcome.exitCode, exitCode) << outcome.out << outcome.err;
    EXPECT_NE(outcome.err.find(named.string()), std::string::npos) << outcome.err;
    EXPECT_NE((outcome.err + outcome.out).find(reason), std::string::npos) << outcome.err;
    // The file named is one the user knows, never a temporary one.
    EXPECT_EQ(outcome.err.find(".thp-"), std::string::npos) << outcome.err;
    const Tree after = snapshot(folder_);
    EXPECT_EQ(differences(before, after), std::vector<std::string>{});
    EXPECT_EQ(leftovers(after), std::vector<std::string>{});
    count("faults injected");
  }

  ScratchDir scratch_{"thp-faults"};
  const fs::path folder_ = scratch_.path();
  const fs::path htemp_ = folder_ / "HTEMP";
  const fs::path document_ = folder_ / "centro.xml";
  const fs::path changed_ = folder_ / "nuevo.xml";
  const fs::path result_ = folder_ / "ResultadoHorvalcentro.xml";
};

// The sizes the new tables of `document` have, from an export elsewhere.
std::vector<std::uint64_t> newTableSizes(const fs::path& document, const fs::path& scratch) {
  fs::create_directories(scratch);
  const Outcome outcome = runTool({"export", document.string(), "--dir", scratch.string()});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  std::vector<std::uint64_t> sizes;
  for (const char* table : kTables) sizes.push_back(fs::file_size(scratch / table));
  return sizes;
}

TEST_F(FaultInjection, ADiskThatFillsDuringAnExportChangesNoTable) {
  const auto sizes = newTableSizes(changed_, folder_ / "referencia");
  fs::remove_all(folder_ / "referencia");
  // Limits inside the headers, inside the records and one byte short of each
  // table, so that each table in turn is the one whose write fails.
  std::set<std::uint64_t> limits = {0, 1, 67, 68, 300, 1000};
  for (const std::uint64_t size : sizes) {
    limits.insert(size - 1);
    limits.insert(size / 2);
  }
  const std::uint64_t largest = *std::max_element(sizes.begin(), sizes.end());
  for (const std::uint64_t limit : limits) {
    if (limit >= largest) continue;
    SCOPED_TRACE("limit " + std::to_string(limit));
    expectNothingChanged([&] { return exportDocument(changed_, {limit}); }, htemp_,
                         "No se puede escribir en " + htemp_.string() + "/");
  }
  // With room for the largest table the same run goes through.
  const Outcome outcome = exportDocument(changed_, {largest});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
}

TEST_F(FaultInjection, ADiskThatFillsDuringAnImportKeepsTheEarlierResult) {
  const std::uint64_t size = fs::file_size(result_);
  for (const std::uint64_t limit :
       {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{100}, size / 2, size - 1, size}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    expectNothingChanged([&] { return importDocument(document_, {limit}); }, result_,
                         "No se puede escribir ");
  }
}

TEST_F(FaultInjection, AMissingWorkingDirectoryIsNamedAndNothingIsCreated) {
  writeFile(folder_ / "archivo", "no es un directorio");
  const fs::path missing = folder_ / "archivo" / "HTEMP";
  expectNothingChanged(
      [&] {
        return runTool({"export", changed_.string(), "--dir", missing.string()});
      },
      missing, "No existe el directorio de trabajo");
  // The import finds no SOLUC there: its missing input.
  const Tree before = snapshot(folder_);
  const Outcome outcome = runTool({"import", document_.string(), "--dir", missing.string()});
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "No existe archivo XML o Solución.\n");
  EXPECT_EQ(differences(before, snapshot(folder_)), std::vector<std::string>{});
  count("faults injected");
}

TEST_F(FaultInjection, AWorkingDirectoryThatCannotBeWrittenKeepsItsTables) {
  const Immutable locked(htemp_);
  if (!locked.available()) GTEST_SKIP() << "no immutable directories here";
  expectNothingChanged([&] { return exportDocument(changed_); }, htemp_,
                       "No se puede escribir en ");
}

TEST_F(FaultInjection, ATableThatCannotBeReplacedPutsBackTheOthers) {
  for (const char* table : kTables) {
    SCOPED_TRACE(table);
    const Immutable locked(htemp_ / table);
    if (!locked.available()) GTEST_SKIP() << "no immutable files here";
    expectNothingChanged([&] { return exportDocument(changed_); }, htemp_ / table,
                         "No se puede reemplazar " + (htemp_ / table).string() + ": ");
  }
}

TEST_F(FaultInjection, ATableHeldByAnotherProgramStopsTheExport) {
  for (const char* table : kTables) {
    SCOPED_TRACE(table);
    const LockHolder holder(htemp_ / table);
    expectNothingChanged([&] { return exportDocument(changed_); }, htemp_ / table,
                         "está en uso por otro programa");
  }
}

TEST_F(FaultInjection, ATableHeldByAnotherProgramStopsTheImport) {
  for (const char* table :
       {"SOLUC.DBF", "GRUPOST.DBF", "PROFT.DBF", "AULAT.DBF", "ASIGNOMT.DBF", "ASIGT.DBF"}) {
    SCOPED_TRACE(table);
    const LockHolder holder(htemp_ / table);
    expectNothingChanged([&] { return importDocument(document_); }, htemp_ / table,
                         "está en uso por otro programa");
  }
}

TEST_F(FaultInjection, AResultFolderOrDocumentThatCannotBeWrittenKeepsTheEarlierResult) {
  {
    const Immutable locked(folder_);
    if (!locked.available()) GTEST_SKIP() << "no immutable directories here";
    expectNothingChanged([&] { return importDocument(document_); }, result_,
                         "No se puede escribir ");
  }
  const Immutable locked(result_);
  expectNothingChanged([&] { return importDocument(document_); }, result_,
                       "No se puede reemplazar ");
}

TEST_F(FaultInjection, ADamagedJournalStopsTheRunsAndIsKept) {
  writeFile(htemp_ / "TRANSHORVAL.JNL", "forward\n1\t../../etc/passwd\tASIGT.DBF\n");
  const fs::path journal = htemp_ / "TRANSHORVAL.JNL";
  const Tree before = snapshot(folder_);
  for (const bool exporting : {true, false}) {
    SCOPED_TRACE(exporting ? "export" : "import");
    const Outcome outcome = exporting ? exportDocument(changed_) : importDocument(document_);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_NE(outcome.err.find("El diario " + journal.string() + " está dañado"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(differences(before, snapshot(folder_)), std::vector<std::string>{});
    count("faults injected");
  }
}

}  // namespace
}  // namespace thp::reliability
