#pragma once

// Small helpers shared by the dBase table tests: a scratch directory per test
// and whole-file reads and writes.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace thp::dbf::testing {

// A fresh directory for the running test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "thp-dbf-" + std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';  // parameterised tests have slashes in their names
    name += "-" + std::to_string(std::random_device{}());  // other build trees run these too
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Bytes from a list of values 0-255, for fixtures spelled out byte by byte.
inline std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values) out.push_back(static_cast<char>(static_cast<unsigned char>(v)));
  return out;
}

inline void putLE(std::string& out, std::size_t at, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i, value >>= 8)
    out[at + i] = static_cast<char>(static_cast<unsigned char>(value & 0xFF));
}

inline std::uint64_t getLE(std::string_view in, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

}  // namespace thp::dbf::testing
