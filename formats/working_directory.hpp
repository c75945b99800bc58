#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace thp {

// Where the timetabling program keeps its tables: C:\HTEMP on Windows; elsewhere
// the C:\HTEMP that the program sees under Wine ($WINEPREFIX, or ~/.wine, then
// drive_c/HTEMP). The environment variable TRANSHORVAL_HTEMP overrides both.
std::filesystem::path defaultWorkingDirectory();

// The directory to work in: the override when given, else the default. Throws
// thp::Error when it does not exist; the tool never creates it.
std::filesystem::path requireWorkingDirectory(
    const std::optional<std::filesystem::path>& override = std::nullopt);

// The entry of directory whose name equals name without regard to ASCII case,
// preferring the exact spelling; nothing when there is none.
std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& directory,
                                                      std::string_view name);

}  // namespace thp
