#pragma once

#include <filesystem>

namespace thp {

// A new version of a file, written under a temporary name in the target's own
// directory and moved over the target only when complete. Until commit() the
// target is untouched; a staged file that is never committed is removed.
class StagedFile {
 public:
  explicit StagedFile(std::filesystem::path target);
  ~StagedFile();
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&&) = delete;
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temporary() const { return temporary_; }

  // Flushes the temporary file to disk and moves it onto the target.
  void commit();
  // Removes the temporary file; the target stays as it was.
  void discard() noexcept;
  // Forgets the temporary file, which someone else has moved into place.
  void release() noexcept { pending_ = false; }

  // True for the names this class gives its temporary files.
  static bool isTemporaryName(const std::filesystem::path& file);

  // Removes the temporary files that staged versions of target left behind
  // when their process was killed; the caller must know that no other staged
  // version of target is being written.
  static void removeLeftovers(const std::filesystem::path& target);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  bool pending_ = true;
};

}  // namespace thp
