#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace thp {

// The dialog's state that both directions share, kept for the program's life.
struct DialogState {
  std::int32_t CodigoResultado = 0;  // 0 no run finished, 1 a run finished, -1 input missing
  bool ModoIntegrado = false;        // embedded in the caller's window
  std::filesystem::path FicheroXML;  // the exchange document chosen last
};

// What a run needs of whoever drives it: the dialog, the command-line tool or
// a test.
class RunUserInterface {
 public:
  virtual ~RunUserInterface() = default;
  // Asks for the exchange document; nothing when the user cancels.
  virtual std::optional<std::filesystem::path> chooseExchangeDocument() = 0;
  // Shows a message (UTF-8) and returns once the user has acknowledged it.
  virtual void showMessage(std::string_view message) = 0;
  // Switches the busy indication on or off.
  virtual void setBusy(bool busy) = 0;
  // Closes the dialog (embedded mode).
  virtual void closeDialog() = 0;
};

// Keeps the busy indication on for a scope, so an error cannot leave it on.
class BusyScope {
 public:
  explicit BusyScope(RunUserInterface& ui) : ui_(ui) { ui_.setBusy(true); }
  ~BusyScope() { end(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  void end() {
    if (active_) ui_.setBusy(false);
    active_ = false;
  }

 private:
  RunUserInterface& ui_;
  bool active_ = true;
};

// How a run ended when it raised no error.
enum class RunOutcome { Finished, MissingInput };

}  // namespace thp
