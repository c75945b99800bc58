#include "working_directory.hpp"

#include <cstdlib>
#include <system_error>

#include "error.hpp"
#include "platform.hpp"
#include "text.hpp"

namespace thp {
namespace {

std::optional<std::filesystem::path> environmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::filesystem::path(value);
}

}  // namespace

std::filesystem::path defaultWorkingDirectory() {
  if (auto configured = environmentPath("TRANSHORVAL_HTEMP")) return *configured;
#ifdef _WIN32
  return std::filesystem::path("C:\\HTEMP");
#else
  std::filesystem::path prefix;
  if (auto wine = environmentPath("WINEPREFIX"))
    prefix = *wine;
  else if (auto home = environmentPath("HOME"))
    prefix = *home / ".wine";
  else
    prefix = ".wine";
  return prefix / "drive_c" / "HTEMP";
#endif
}

std::filesystem::path requireWorkingDirectory(
    const std::optional<std::filesystem::path>& override) {
  std::filesystem::path directory = override ? *override : defaultWorkingDirectory();
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error))
    throw Error("No existe el directorio de trabajo " + platform::displayPath(directory));
  return directory;
}

std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& directory,
                                                      std::string_view name) {
  std::error_code error;
  const std::filesystem::path exact = directory / std::string(name);
  if (std::filesystem::is_regular_file(exact, error)) return exact;
  std::optional<std::filesystem::path> found;
  const std::string wanted = text::lowerAscii(name);
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    if (text::lowerAscii(it->path().filename().string()) != wanted) continue;
    if (!it->is_regular_file(error)) continue;
    if (!found || it->path().filename().string() < found->filename().string()) found = it->path();
  }
  return found;
}

}  // namespace thp
