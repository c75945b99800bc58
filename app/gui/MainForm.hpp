#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "app/gui/launch_arguments.hpp"
#include "app/gui/open_dialog.hpp"
#include "formats/run_interface.hpp"

class QLabel;
class QPushButton;
class QWindow;

namespace thp::gui {

class GradientPanel;

// The program's one dialog: the export to Horvalen's tables on the left, the
// import of Horvalen's solution on the right, help and close in the strip
// below. Started by hand it is a normal dialog with both panels; started by
// Horvalen with a direction word and its window handle it lives inside that
// window, borderless, shows only the requested panel, closes itself after one
// run and leaves the result code in Horvalen.ini beside the executable.
//
// Each button runs its direction from start to end on the user-interface
// thread, through this dialog as the run's user interface. The runs keep the
// code registries of the subjects and activities themselves, fresh for every
// export.
class TMForm : public QDialog, public RunUserInterface {
  Q_OBJECT

 public:
  // arguments: the command line after the program name; programDirectory:
  // where Horvalen.ini is written and the help file is looked for.
  TMForm(const QStringList& arguments, const QString& programDirectory);
  ~TMForm() override;

  const DialogState& state() const { return state_; }
  // "Horvalen.ini" in the program directory.
  std::filesystem::path resultFile() const;

  std::optional<std::filesystem::path> chooseExchangeDocument() override;
  void showMessage(std::string_view message) override;
  void setBusy(bool busy) override;
  void closeDialog() override;

 signals:
  // The close handler has run to its end and the dialog is closed: the
  // program ends. Closing an embedded dialog ends no event loop by itself.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormCreate(const QStringList& arguments);
  void createControls();
  void embed(const Embedding& embedding);
  void BExportarClick();
  void BImportarClick();
  void Button1Click();
  void showHelp(std::optional<int> context);

  // The application's error report: the error's own text under the title.
  void showError(const QString& text);
  void messageBox(QMessageBox::Icon icon, const QString& text);
  // Runs a handler's work and reports what it throws.
  template <class Work>
  void handle(Work&& work);

  DialogState state_;
  QString programDirectory_;
  std::unique_ptr<QWindow> caller_;  // the calling program's window, embedded mode only

  GradientPanel* Draw3D1 = nullptr;  // bottom strip
  GradientPanel* Draw3D2 = nullptr;  // export panel
  GradientPanel* Draw3D3 = nullptr;  // import panel
  QLabel* Label1 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* BExportar = nullptr;
  QPushButton* BImportar = nullptr;
  QPushButton* BClose = nullptr;
  QPushButton* Button1 = nullptr;
  OpenDialog OpenDialogXML;
};

}  // namespace thp::gui
