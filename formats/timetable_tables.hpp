#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "formats/dbf/table_layout.hpp"

// The layouts of the six tables the export re-creates in the working
// directory, and the name of the solution table the timetabling program writes.
namespace thp::tables {

const dbf::TableLayout& asignomt();    // subjects and activities
const dbf::TableLayout& proft();       // teachers
const dbf::TableLayout& aulat();       // rooms
const dbf::TableLayout& grupost();     // groups
const dbf::TableLayout& diashorast();  // time slots
const dbf::TableLayout& asigt();       // teaching assignments

// The data files of the six tables ("ASIGNOMT.DBF", …).
std::vector<std::string> exportedFileNames();

// Completes a replacement of the six tables that a killed export left half
// done in directory, and removes its temporary files.
void recoverInterruptedExport(const std::filesystem::path& directory);

inline constexpr const char* kSolucFile = "SOLUC.DBF";

}  // namespace thp::tables
