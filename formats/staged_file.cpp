#include "staged_file.hpp"

#include <atomic>
#include <chrono>
#include <string>
#include <system_error>
#include <vector>

#include "error.hpp"
#include "platform.hpp"

namespace thp {
namespace {

constexpr std::string_view kMarker = ".thp-";
constexpr std::string_view kSuffix = ".tmp";

std::filesystem::path temporaryFor(const std::filesystem::path& target) {
  static std::atomic<unsigned long> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::string unique = std::to_string(stamp) + "-" + std::to_string(++counter);
  return target.parent_path() /
         (target.filename().string() + std::string(kMarker) + unique + std::string(kSuffix));
}

}  // namespace

StagedFile::StagedFile(std::filesystem::path target)
    : target_(std::move(target)), temporary_(temporaryFor(target_)) {}

StagedFile::~StagedFile() { discard(); }

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      pending_(other.pending_) {
  other.pending_ = false;
}

void StagedFile::commit() {
  try {
    platform::syncFile(temporary_);
  } catch (const Error&) {
    throw Error("No se puede escribir en " + platform::displayPath(target_));
  }
  platform::replaceFile(temporary_, target_);
  pending_ = false;
  platform::syncDirectory(target_.parent_path());
}

void StagedFile::discard() noexcept {
  if (!pending_) return;
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
  pending_ = false;
}

bool StagedFile::isTemporaryName(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  return name.find(kMarker) != std::string::npos && name.size() > kSuffix.size() &&
         name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

void StagedFile::removeLeftovers(const std::filesystem::path& target) {
  const std::string prefix = target.filename().string() + std::string(kMarker);
  std::vector<std::filesystem::path> found;
  std::error_code error;
  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0 && isTemporaryName(it->path())) found.push_back(it->path());
  }
  for (const auto& file : found) std::filesystem::remove(file, error);
}

}  // namespace thp
