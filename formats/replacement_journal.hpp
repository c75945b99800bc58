#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Replacing several files as one step, safe against the process being killed
// part-way: before the first file is touched, a journal beside them records
// what is to be replaced. Whoever next finds the journal completes the
// replacement, or undoes it when it had failed, as storage engines do.
namespace thp::journal {

// The journal's file name in the directory of the files it replaces.
inline constexpr const char* kJournalName = "TRANSHORVAL.JNL";

struct Replacement {
  std::filesystem::path staged;  // the complete new version, in the target's directory
  std::filesystem::path target;
};

// Moves every staged file onto its target. On an error every target is put
// back as it was and the error is thrown again; a kill at any point leaves
// either the old set, or a journal from which recover() makes the new set.
void replaceTogether(const std::filesystem::path& directory,
                     const std::vector<Replacement>& replacements);

// Completes (or, for a replacement that was failing, undoes) what a killed run
// left in directory, then removes the temporary files a killed run left of the
// files named in fileNames. Throws thp::Error naming the journal when it is
// damaged.
void recover(const std::filesystem::path& directory, const std::vector<std::string>& fileNames);

}  // namespace thp::journal
