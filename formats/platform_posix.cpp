#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "error.hpp"
#include "platform.hpp"

namespace thp::platform {
namespace {

std::string reason() { return std::strerror(errno); }

}  // namespace

std::optional<FileLock> FileLock::tryAcquire(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error("No se puede abrir " + displayPath(file) + ": " + reason());
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return std::nullopt;
    errno = error;
    throw Error("No se puede bloquear " + displayPath(file) + ": " + reason());
  }
  FileLock lock;
  lock.fd_ = fd;
  return lock;
}

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void FileLock::release() noexcept {
  if (fd_ >= 0) ::close(fd_);  // closing drops the flock
  fd_ = -1;
}

void syncFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error("No se puede abrir " + displayPath(file) + ": " + reason());
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) {
    errno = error;
    throw Error("No se puede escribir en " + displayPath(file) + ": " + reason());
  }
}

void syncDirectory(const std::filesystem::path& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: some file systems refuse fsync on directories
  ::close(fd);
}

void replaceFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  if (std::rename(source.c_str(), target.c_str()) != 0)
    throw Error("No se puede reemplazar " + displayPath(target) + ": " + reason());
}

std::string localDateTimeNow() {
  // The user's LC_TIME formats, through a locale object of its own so the
  // program's global locale stays as it is.
  locale_t user = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr))
    user = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  const std::string format =
      std::string(nl_langinfo_l(D_FMT, user)) + " " + nl_langinfo_l(T_FMT, user);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[256];
  const std::size_t size = strftime_l(buffer, sizeof buffer, format.c_str(), &local, user);
  freelocale(user);
  return std::string(buffer, size);
}

std::string displayPath(const std::filesystem::path& path) { return path.string(); }

}  // namespace thp::platform
