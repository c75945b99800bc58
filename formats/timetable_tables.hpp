#pragma once

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

inline constexpr const char* kSolucFile = "SOLUC.DBF";

}  // namespace thp::tables
