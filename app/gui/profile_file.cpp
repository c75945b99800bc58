#include "app/gui/profile_file.hpp"

#include <cstddef>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

#include "formats/error.hpp"
#include "formats/platform.hpp"
#include "formats/staged_file.hpp"

namespace thp::gui::profile {
namespace {

// One line of the file: its text and the line end that followed it ("\r\n",
// "\n" or nothing for a last line without one).
struct Line {
  std::string_view text;
  std::string_view end;
};

std::vector<Line> splitLines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t newline = content.find('\n', start);
    if (newline == std::string_view::npos) {
      lines.push_back({content.substr(start), {}});
      break;
    }
    std::size_t textEnd = newline;
    if (textEnd > start && content[textEnd - 1] == '\r') --textEnd;
    lines.push_back(
        {content.substr(start, textEnd - start), content.substr(textEnd, newline + 1 - textEnd)});
    start = newline + 1;
  }
  return lines;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The name of a section header line, nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
  const std::string_view text = trimmed(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  const std::size_t close = text.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trimmed(text.substr(1, close - 1));
}

// The position of the '=' of a key line for key, nothing for any other line.
std::optional<std::size_t> keyEquals(std::string_view line, std::string_view key) {
  const std::string_view text = trimmed(line);
  if (text.empty() || text.front() == ';') return std::nullopt;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  if (!equalsIgnoringCase(trimmed(line.substr(0, equals)), key)) return std::nullopt;
  return equals;
}

std::string_view lineEndOf(std::string_view content) {
  const bool lfOnly = content.find('\n') != std::string_view::npos &&
                      content.find("\r\n") == std::string_view::npos;
  return lfOnly ? "\n" : "\r\n";
}

}  // namespace

std::string withValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::vector<Line> lines = splitLines(content);
  const std::string_view eol = lineEndOf(content);
  const std::string entry = std::string(key) + "=" + std::string(value);

  // The section's header line, and the line after which a new key goes: the
  // last line of the section that is not blank.
  std::optional<std::size_t> header;
  std::size_t lastFilled = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto name = sectionName(lines[i].text)) {
      if (header) break;  // the next section: the key is not in ours
      if (equalsIgnoringCase(*name, section)) header = lastFilled = i;
      continue;
    }
    if (!header) continue;
    if (const auto equals = keyEquals(lines[i].text, key)) {
      // Keep everything up to the '=' as written, and what follows the line.
      const std::size_t at = static_cast<std::size_t>(lines[i].text.data() - content.data());
      std::string out(content.substr(0, at + *equals + 1));
      out += value;
      out += content.substr(at + lines[i].text.size());
      return out;
    }
    if (!trimmed(lines[i].text).empty()) lastFilled = i;
  }

  if (header) {
    const Line& after = lines[lastFilled];
    const std::size_t at =
        static_cast<std::size_t>(after.text.data() - content.data()) + after.text.size();
    std::string out(content.substr(0, at));
    out += after.end.empty() ? eol : after.end;
    out += entry;
    out += after.end;  // a last line without a line end stays the last one
    out += content.substr(at + after.end.size());
    return out;
  }

  std::string out(content);
  if (!out.empty() && out.back() != '\n') out += eol;
  out += "[" + std::string(section) + "]";
  out += eol;
  out += entry;
  out += eol;
  return out;
}

void writeInteger(const std::filesystem::path& file, std::string_view section, std::string_view key,
                  int value) {
  const Error cannotWrite("Unable to write to " + platform::displayPath(file));

  std::string content;
  std::error_code error;
  if (std::filesystem::exists(file, error)) {
    if (!std::filesystem::is_regular_file(file, error)) throw cannotWrite;
    std::ifstream in(file, std::ios::binary);
    if (!in) throw cannotWrite;
    try {
      content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
      throw cannotWrite;
    }
    if (in.bad()) throw cannotWrite;
  }

  const std::string updated = withValue(content, section, key, std::to_string(value));
  const auto write = [&](const std::filesystem::path& to, std::ios::openmode mode) {
    std::ofstream out(to, std::ios::binary | mode);
    if (!out) return false;
    out.write(updated.data(), static_cast<std::streamsize>(updated.size()));
    out.close();
    return !out.fail();
  };

  // A read-only file fails here as it does with the Windows API.
  const bool existed = std::filesystem::exists(file, error);
  if (existed && !std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out))
    throw cannotWrite;
  // The new content goes to a file beside the real one (through a link) with
  // its permissions, and replaces it once complete: a full disk or a kill
  // part-way leaves the file as it was.
  std::filesystem::path target = file;
  std::error_code link;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, link))) {
    target = std::filesystem::canonical(file, link);
    if (link) throw cannotWrite;
  }
  StagedFile staged(target);
  if (!write(staged.temporary(), std::ios::trunc)) {
    std::error_code ignored;
    // Where no file can be created beside it, only in place is left.
    if (std::filesystem::exists(staged.temporary(), ignored) || !write(file, std::ios::trunc))
      throw cannotWrite;
    return;
  }
  try {
    if (existed)
      std::filesystem::permissions(staged.temporary(),
                                   std::filesystem::status(target).permissions());
    staged.commit();
  } catch (const std::exception&) {
    throw cannotWrite;
  }
}

}  // namespace thp::gui::profile
