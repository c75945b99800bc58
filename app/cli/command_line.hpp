#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace thp::cli {

enum class Command { Help, Version, Export, Check, Import };

struct Invocation {
  Command command = Command::Help;
  std::filesystem::path document;
  std::optional<std::filesystem::path> directory;
};

// Exit codes of the command-line tool.
inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitMissingInput = 2;
inline constexpr int kExitUsage = 64;

// Reads the arguments after the program name; throws UsageError.
Invocation parseArguments(const std::vector<std::string>& arguments);

struct UsageError {
  std::string message;
};

std::string usageText();

}  // namespace thp::cli
