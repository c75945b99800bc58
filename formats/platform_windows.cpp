#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "error.hpp"
#include "platform.hpp"

namespace thp::platform {
namespace {

std::string reason() {
  const DWORD code = GetLastError();
  char buffer[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 buffer, sizeof buffer, nullptr);
  return buffer;
}

}  // namespace

std::optional<FileLock> FileLock::tryAcquire(const std::filesystem::path& file) {
  // Readers may share the file; writers and other exclusive holders may not.
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_SHARING_VIOLATION) return std::nullopt;
    throw Error("No se puede abrir " + displayPath(file) + ": " + reason());
  }
  FileLock lock;
  lock.handle_ = handle;
  return lock;
}

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

void FileLock::release() noexcept {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

void syncFile(const std::filesystem::path& file) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    throw Error("No se puede abrir " + displayPath(file) + ": " + reason());
  const BOOL ok = FlushFileBuffers(handle);
  CloseHandle(handle);
  if (!ok) throw Error("No se puede escribir en " + displayPath(file) + ": " + reason());
}

void syncDirectory(const std::filesystem::path&) {}

void replaceFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  if (!MoveFileExW(source.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    throw Error("No se puede reemplazar " + displayPath(target) + ": " + reason());
}

std::string localDateTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128, nullptr);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, time, 128);
  const std::wstring wide = std::wstring(date) + L" " + time;
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), size, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

std::string displayPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace thp::platform
