#pragma once

// What the dialog tests share: scratch directories, whole-file reads and
// writes, a SOLUC table as Horvalen leaves it, and a user who answers the
// modal dialogs that a click opens.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include "tests/support/scratch_dir.hpp"

class QWidget;

namespace thp::gui::testing {

using testsupport::entriesOf;
using testsupport::readFile;
using testsupport::ScratchDir;
using testsupport::writeFile;

// The exchange document of the tests (two of each: teachers, rooms, groups,
// time slots, assignments; integer hours), copied to file.
void copyExchangeDocument(const std::filesystem::path& file);

// One SOLUC record: the fields the import reads.
struct SolucRecord {
  std::int32_t dia, hora;
  std::string sesiones, codgrupo, asig, tarea, prof, aula;
};
void writeSoluc(const std::filesystem::path& file, const std::vector<SolucRecord>& records);

// Sets an environment variable for the length of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  QByteArray saved_;
  bool wasSet_;
};

// What the user saw in one modal dialog.
struct Seen {
  QString kind;   // "message" or "file"
  QString title;  // the window title
  QString text;   // a message box's text
  int icon = 0;   // a message box's QMessageBox::Icon
  QStringList buttons;
  QStringList nameFilters;  // a file dialog's
  QString defaultSuffix;    // a file dialog's
  bool hasParentWidget = false;
};

// Answers the modal dialogs that open while it lives, one step per dialog in
// the order given. A dialog beyond the steps is recorded and closed, so a test
// that expected fewer fails instead of hanging.
class ScriptedUser {
 public:
  ScriptedUser();
  ~ScriptedUser();
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  ScriptedUser& acknowledge();                              // a message box: its OK button
  ScriptedUser& choose(const std::filesystem::path& file);  // the file dialog: confirm file
  ScriptedUser& cancel();                                   // the file dialog: cancel

  const std::vector<Seen>& seen() const { return seen_; }
  // The texts of the message boxes seen, in order.
  QStringList messages() const;
  std::size_t unexpected() const { return unexpected_; }
  bool allStepsTaken() const { return steps_.empty(); }

 private:
  void poll();

  QTimer timer_;
  std::vector<std::function<void(QWidget*)>> steps_;
  std::vector<Seen> seen_;
  std::vector<QPointer<QWidget>> handled_;
  std::size_t unexpected_ = 0;
};

}  // namespace thp::gui::testing
