#include "fuzz/fuzz_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

namespace thp::fuzz {
namespace {

std::filesystem::path makeScratch() {
  std::error_code error;
  std::filesystem::path base = "/dev/shm";
  if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path();
  const auto path = base / ("thp-fuzz-" + std::to_string(::getpid()));
  std::filesystem::remove_all(path, error);
  std::filesystem::create_directories(path);
  return path;
}

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(scratchDirectory(), ignored);
}

}  // namespace

const std::filesystem::path& scratchDirectory() {
  static const std::filesystem::path path = [] {
    auto made = makeScratch();
    std::atexit(removeScratch);
    return made;
  }();
  return path;
}

void writeFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) broken("cannot write the input to " + file.string());
}

void writeFile(const std::filesystem::path& file, std::string_view bytes) {
  writeFile(file, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> snapshot(const std::filesystem::path& directory) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    entries[entry.path().filename().string()] =
        entry.is_regular_file() ? readFile(entry.path()) : std::string("<directory>");
  return entries;
}

void broken(std::string_view what) {
  std::cerr << "\n*** " << what << '\n';
  std::abort();
}

}  // namespace thp::fuzz
