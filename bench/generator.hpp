#pragma once

// Documents and solution tables for the speed-and-scale benchmark and its test:
// an exchange document shaped like a real school's, of any size, and the SOLUC
// table that the timetabling program would leave for it. Both are seeded and
// come out byte for byte the same on every run and every machine.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace thp::bench {

struct DocumentPlan {
  std::size_t assignments = 20000;
  std::uint64_t seed = 1;
};

// What the export of a generated document must write, as the generator planned
// it: records per table in the order ASIGNOMT, PROFT, AULAT, GRUPOST,
// DIASHORAST, ASIGT.
struct DocumentFacts {
  std::array<std::size_t, 6> records{};
  std::size_t subjects = 0;              // dmateria items that are subjects
  std::size_t activities = 0;            // dmateria items that are activities
  std::size_t duplicateSubjects = 0;     // same code and name as an earlier one: omitted
  std::size_t assignmentsOmitted = 0;    // their subject is a duplicate or unknown
  std::size_t assignmentsNoGroup = 0;    // their group is not in the document
  std::size_t assignmentsNoTeacher = 0;  // without a teacher
  std::uintmax_t bytes = 0;              // size of the document
};

// Writes the exchange document (ISO-8859-1, as the school-management system
// writes it) for plan.assignments teaching assignments: about n/20 subjects and
// activities, n/40 teachers, n/80 rooms, n/60 groups and 30 to 60 time slots.
// Hours are whole numbers or written with '.' as the decimal separator.
DocumentFacts writeDocument(const DocumentPlan& plan, const std::filesystem::path& file);

// One SOLUC record as the generator wrote it, with the identifiers the import
// must find for it (UTF-8), taken from the exported ASIGT and AULAT.
struct SolucEntry {
  bool deleted = false;
  bool givesEntry = false;  // day and hour set, subject known: a dsolucion is due
  int day = 0;
  int hour = 0;
  std::string subjectId;  // ASIGT's IDASIG
  std::string groupId;    // ASIGT's IDGRUP when it has a group code, else empty
  std::string teacherId;  // ASIGT's IDPROF when it has a teacher code, else empty
  std::string roomId;     // AULAT's IDAULA when a room is given, else empty
};

struct SolucFacts {
  std::size_t records = 0;  // all records, deleted ones included
  std::size_t entries = 0;  // dsolucion elements the import must write
  std::size_t deleted = 0;
  std::size_t unknownSubject = 0;
  std::size_t zeroDay = 0;
  std::uintmax_t bytes = 0;
};

// Writes DIRECTORY/SOLUC.DBF (dBase level 7, every byte composed here) from the
// tables an export left in DIRECTORY: about one and a half entries per hour of
// each ASIGT record, on the days and hours of DIASHORAST, in AULAT's rooms,
// with a few records of each kind the import must tell apart. When `entries`
// is given it receives every record in stored order.
SolucFacts writeSoluc(const std::filesystem::path& directory, std::uint64_t seed,
                      std::vector<SolucEntry>* entries = nullptr);

}  // namespace thp::bench
