#include "test_support.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "formats/dbf/record_buffer.hpp"
#include "formats/dbf/table_layout.hpp"
#include "formats/dbf/table_writer.hpp"

namespace thp::gui::testing {

void copyExchangeDocument(const std::filesystem::path& file) {
  std::filesystem::copy_file(std::filesystem::path(THP_GUI_TEST_DATA) / "instituto.xml", file,
                             std::filesystem::copy_options::overwrite_existing);
}

void writeSoluc(const std::filesystem::path& file, const std::vector<SolucRecord>& records) {
  using dbf::FieldType;
  const dbf::TableLayout layout("SOLUC", {{"DIA", FieldType::Integer, 4},
                                          {"HORA", FieldType::Integer, 4},
                                          {"SESIONES", FieldType::Character, 5},
                                          {"CODGRUPO", FieldType::Character, 10},
                                          {"ASIG", FieldType::Character, 10},
                                          {"TAREA", FieldType::Character, 10},
                                          {"PROF", FieldType::Character, 10},
                                          {"AULA", FieldType::Character, 10}});
  dbf::TableWriter writer(file, layout, dbf::today());
  dbf::RecordBuffer record(layout);
  for (const SolucRecord& r : records) {
    record.clear();
    record.setInteger(0, r.dia);
    record.setInteger(1, r.hora);
    record.setText(2, r.sesiones);
    record.setText(3, r.codgrupo);
    record.setText(4, r.asig);
    record.setText(5, r.tarea);
    record.setText(6, r.prof);
    record.setText(7, r.aula);
    writer.append(record);
  }
  writer.finish();
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : name_(name), saved_(qgetenv(name)), wasSet_(qEnvironmentVariableIsSet(name)) {
  qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
  if (wasSet_)
    qputenv(name_, saved_);
  else
    qunsetenv(name_);
}

ScriptedUser::ScriptedUser() {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
  timer_.start();
}

ScriptedUser::~ScriptedUser() { timer_.stop(); }

ScriptedUser& ScriptedUser::acknowledge() {
  steps_.push_back([](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr) << "expected a message box";
    box->button(QMessageBox::Ok)->click();
  });
  return *this;
}

ScriptedUser& ScriptedUser::choose(const std::filesystem::path& file) {
  const QString name = QString::fromStdString(file.string());
  steps_.push_back([name](QWidget* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(files, nullptr) << "expected the file dialog";
    files->selectFile(name);
    static_cast<QDialog*>(files)->accept();  // as its Open button does
  });
  return *this;
}

ScriptedUser& ScriptedUser::cancel() {
  steps_.push_back([](QWidget* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(files, nullptr) << "expected the file dialog";
    files->reject();
  });
  return *this;
}

QStringList ScriptedUser::messages() const {
  QStringList texts;
  for (const Seen& s : seen_)
    if (s.kind == QLatin1String("message")) texts << s.text;
  return texts;
}

void ScriptedUser::poll() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (dialog == nullptr || !dialog->isVisible()) return;
  if (std::find(handled_.begin(), handled_.end(), dialog) != handled_.end()) return;
  handled_.emplace_back(dialog);

  Seen seen;
  seen.title = dialog->windowTitle();
  seen.hasParentWidget = dialog->parentWidget() != nullptr;
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    seen.kind = QStringLiteral("message");
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
  } else if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
    seen.kind = QStringLiteral("file");
    seen.nameFilters = files->nameFilters();
    seen.defaultSuffix = files->defaultSuffix();
  }
  seen_.push_back(seen);

  if (steps_.empty()) {
    ++unexpected_;
    if (auto* modal = qobject_cast<QDialog*>(dialog)) modal->reject();
    return;
  }
  const auto step = steps_.front();
  steps_.erase(steps_.begin());
  step(dialog);
}

}  // namespace thp::gui::testing
