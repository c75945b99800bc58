#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The few operating-system calls the core needs, kept in one place so the rest
// stays portable: exclusive file locks, durable writes and atomic replacement.
namespace thp::platform {

// An exclusive lock on a file, held for the object's lifetime. On POSIX an
// advisory flock, so two objects of one process exclude each other as well;
// on Windows a share-deny open.
class FileLock {
 public:
  // Returns no lock when another holder has the file; throws thp::Error when
  // the file cannot be opened at all.
  static std::optional<FileLock> tryAcquire(const std::filesystem::path& file);

  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  FileLock() = default;
  void release() noexcept;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// Flushes a file's data to the storage device.
void syncFile(const std::filesystem::path& file);

// Flushes a directory entry change (rename, create) to the storage device; a
// no-op where the platform has no such call.
void syncDirectory(const std::filesystem::path& directory);

// Moves source onto target, replacing target atomically where it exists.
// Throws thp::Error naming the target on failure.
void replaceFile(const std::filesystem::path& source, const std::filesystem::path& target);

// The current local date in the user's short date format, one blank, and the
// time in the user's long time format (UTF-8).
std::string localDateTimeNow();

// A path as UTF-8, for messages.
std::string displayPath(const std::filesystem::path& path);

}  // namespace thp::platform
