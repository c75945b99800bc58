#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// An INI file updated the way the Windows profile API writes one value: only
// that key's line changes, and every other byte of the file stays as it was
// (comments, other sections, Windows-1252 text, CRLF line ends). General INI
// libraries rewrite the whole file, which the calling program's own settings
// in the same file would not survive.
namespace thp::gui::profile {

// The file's content with key=value set in section. Section and key are
// matched without regard to ASCII case, the first of each counting; a missing
// key is added after the last line of its section, a missing section at the
// end of the file. New lines end as the file's lines do (CRLF unless the file
// uses LF alone).
std::string withValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value);

// Writes value as a decimal integer under section and key of file, creating
// the file when it is absent. Throws thp::Error "Unable to write to <file>"
// when the file cannot be read or written.
void writeInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                  int value);

}  // namespace thp::gui::profile
