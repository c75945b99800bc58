#pragma once

// What the fuzz targets share: a scratch directory of their own, whole-file
// reads and writes, the state of a directory, and a failed check that stops
// the fuzzer with the input that caused it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "formats/run_interface.hpp"

namespace thp::fuzz {

// A directory for this process, on a memory file system where there is one,
// removed when the process ends.
const std::filesystem::path& scratchDirectory();

void writeFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size);
void writeFile(const std::filesystem::path& file, std::string_view bytes);
std::string readFile(const std::filesystem::path& file);

// Every entry of a directory (not its subdirectories), by name, with its bytes.
std::map<std::string, std::string> snapshot(const std::filesystem::path& directory);

// Reports a broken promise and aborts, so that libFuzzer keeps the input.
[[noreturn]] void broken(std::string_view what);

// A run's user interface that picks one document and says nothing.
class SilentInterface : public RunUserInterface {
 public:
  explicit SilentInterface(std::filesystem::path document) : document_(std::move(document)) {}
  std::optional<std::filesystem::path> chooseExchangeDocument() override { return document_; }
  void showMessage(std::string_view) override {}
  void setBusy(bool) override {}
  void closeDialog() override {}

 private:
  std::filesystem::path document_;
};

}  // namespace thp::fuzz
