// The dialog as the office uses it: started by hand, both panels, runs from
// its buttons, help, close. The embedded mode inside a real foreign window is
// in embedded_test.cpp.
#include <gtest/gtest.h>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <clocale>
#include <fstream>
#include <memory>

#include "app/gui/MainForm.hpp"
#include "app/gui/gradient_panel.hpp"
#include "test_support.hpp"

namespace thp::gui {
namespace {

namespace fs = std::filesystem;
using namespace testing;

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(htemp_);
    fs::create_directories(programDir_);
  }

  std::unique_ptr<TMForm> open(const QStringList& arguments = {}) {
    auto form = std::make_unique<TMForm>(arguments, qstr(programDir_));
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }

  template <class T = QWidget>
  static T* child(TMForm& form, const char* name) {
    T* widget = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  static void click(TMForm& form, const char* button) {
    QTest::mouseClick(child<QPushButton>(form, button), Qt::LeftButton);
  }

  static QString qstr(const fs::path& path) { return QString::fromStdString(path.string()); }

  ScratchDir dir_;
  fs::path htemp_ = dir_ / "HTEMP";
  fs::path programDir_ = dir_ / "programa";
  ScopedEnv workingDirectory_{"TRANSHORVAL_HTEMP", QByteArray::fromStdString(htemp_.string())};
};

const std::vector<std::string> kTables = {"ASIGNOMT.DBF",   "ASIGT.DBF",   "AULAT.DBF",
                                          "DIASHORAST.DBF", "GRUPOST.DBF", "PROFT.DBF"};
const QString kReminder = QStringLiteral(
    "Deberá Abrir el fichero XML de PLADUNA,\ndesde el cual realizó la Importación a Horvalen");

TEST_F(DialogTest, LayoutAsDesigned) {
  auto form = open();
  EXPECT_EQ(form->windowTitle(), "Exportar e importar datos entre Horvalen y PLADUNA");
  EXPECT_EQ(form->size(), QSize(632, 266));
  EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "a fixed dialog border";
  EXPECT_FALSE(form->windowFlags() & Qt::FramelessWindowHint);

  struct Control {
    const char* name;
    const char* parent;
    QRect geometry;
    QString text;
  };
  const Control controls[] = {
      {"Draw3D2", "MForm", {0, 0, 315, 169}, {}},
      {"Label3", "Draw3D2", {24, 24, 265, 57}, "Transformar datos desde PLADUNA hacia Horvalen "},
      {"BExportar", "Draw3D2", {96, 120, 89, 25}, "Aceptar"},
      {"Draw3D3", "MForm", {316, 0, 317, 169}, {}},
      {"Label4", "Draw3D3", {8, 24, 305, 57}, "Transformar datos desde Horvalen hacia PLADUNA"},
      {"BImportar", "Draw3D3", {96, 120, 89, 25}, "Aceptar"},
      {"Draw3D1", "MForm", {0, 168, 633, 97}, {}},
      {"Label1", "Draw3D1", {8, 72, 233, 13}, "TransHorvalenPladuna para QT20 V-1.0"},
      {"BClose", "Draw3D1", {256, 32, 89, 25}, "&Salir"},
      {"Button1", "Draw3D1", {48, 40, 75, 25}, "F1 Ayuda"},
  };
  for (const Control& c : controls) {
    QWidget* widget = child(*form, c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget()->objectName(), c.parent) << c.name;
    EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
    EXPECT_TRUE(widget->isVisible()) << c.name;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), c.text) << c.name;
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), c.text) << c.name;
      // The OK-kind and close-kind buttons carry a glyph, the push button none.
      EXPECT_EQ(button->icon().isNull(), c.name == std::string("Button1")) << c.name;
    }
  }
  // The strip lies behind the upper panels, which overlap it by one row.
  EXPECT_LT(form->children().indexOf(child(*form, "Draw3D1")),
            form->children().indexOf(child(*form, "Draw3D2")));

  for (const char* name :
       {"MForm", "Draw3D1", "Draw3D2", "Draw3D3", "BExportar", "BImportar", "BClose", "Button1"}) {
    QObject* object = std::string(name) == "MForm" ? form.get() : child(*form, name);
    EXPECT_EQ(object->property("HelpContext").toInt(), 3) << name;
  }
}

TEST_F(DialogTest, FontsAndColoursAsDesigned) {
  auto form = open();
  auto* title = child<QLabel>(*form, "Label3");
  auto* version = child<QLabel>(*form, "Label1");

  const QFontInfo titleFont(title->font());
  EXPECT_EQ(titleFont.pixelSize(), 16);
  EXPECT_TRUE(titleFont.bold());
  const QFontInfo versionFont(version->font());
  EXPECT_EQ(versionFont.pixelSize(), 11);
  EXPECT_TRUE(versionFont.bold());
  EXPECT_EQ(QFontInfo(form->font()).pixelSize(), 11);
#ifndef _WIN32
  // Arial and MS Sans Serif are missing here: their metric equivalent stands in.
  EXPECT_EQ(titleFont.family(), "Liberation Sans");
  EXPECT_EQ(versionFont.family(), "Liberation Sans");
#endif
  EXPECT_EQ(version->palette().color(QPalette::WindowText), QColor(Qt::red));

  // The texts fit their fixed boxes: a wider stand-in font would cut them.
  EXPECT_LE(version->fontMetrics().horizontalAdvance(version->text()), 233);
  for (const char* name : {"Label3", "Label4"}) {
    auto* label = child<QLabel>(*form, name);
    EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
    EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop) << name;
  }

  auto* exportPanel = child<GradientPanel>(*form, "Draw3D2");
  EXPECT_EQ(exportPanel->startColor(), QColor(249, 211, 125));
  EXPECT_EQ(exportPanel->middleColor(), QColor(Qt::white));
  EXPECT_EQ(exportPanel->endColor(), QColor(255, 238, 221));
  auto* importPanel = child<GradientPanel>(*form, "Draw3D3");
  EXPECT_EQ(importPanel->startColor(), exportPanel->startColor());
  EXPECT_EQ(importPanel->endColor(), exportPanel->endColor());
  auto* strip = child<GradientPanel>(*form, "Draw3D1");
  EXPECT_EQ(strip->startColor(), QColor(194, 205, 254));
  EXPECT_EQ(strip->middleColor(), QColor(207, 242, 254));
  EXPECT_EQ(strip->endColor(), QColor(204, 216, 230));
}

// The picture a person sees, kept under the build tree for review. The
// gradients run from their start colour at the top to their end colour at the
// bottom.
TEST_F(DialogTest, Screenshot) {
  auto form = open();
  const QImage image = form->grab().toImage();
  fs::create_directories(THP_SCREENSHOT_DIR);
  ASSERT_TRUE(image.save(QStringLiteral(THP_SCREENSHOT_DIR "/dialog-interactive.png")));

  const qreal ratio = image.devicePixelRatio();
  auto pixel = [&](int x, int y) {
    return QColor(image.pixel(static_cast<int>(x * ratio), static_cast<int>(y * ratio)));
  };
  auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 &&
           std::abs(a.blue() - b.blue()) <= 6;
  };
  EXPECT_TRUE(near(pixel(5, 2), QColor(249, 211, 125))) << pixel(5, 2).name().toStdString();
  EXPECT_TRUE(near(pixel(5, 84), QColor(Qt::white))) << pixel(5, 84).name().toStdString();
  EXPECT_TRUE(near(pixel(320, 166), QColor(255, 238, 221))) << pixel(320, 166).name().toStdString();
  EXPECT_TRUE(near(pixel(400, 171), QColor(194, 205, 254))) << pixel(400, 171).name().toStdString();
  EXPECT_TRUE(near(pixel(400, 262), QColor(204, 216, 230))) << pixel(400, 262).name().toStdString();
}

TEST_F(DialogTest, ExportAndImportRunEndToEndFromTheButtons) {
  const fs::path document = dir_ / "instituto.xml";
  copyExchangeDocument(document);
  auto form = open();

  {
    ScriptedUser user;
    user.choose(document).acknowledge();
    click(*form, "BExportar");
    EXPECT_TRUE(user.allStepsTaken());
    EXPECT_EQ(user.unexpected(), 0u);
    ASSERT_EQ(user.seen().size(), 2u);
    const Seen& files = user.seen()[0];
    EXPECT_EQ(files.kind, "file");
    EXPECT_EQ(files.title, "Archivo XML");
    EXPECT_EQ(files.nameFilters, QStringList{"*.xml"});
    EXPECT_EQ(files.defaultSuffix, "xml");
    const Seen& done = user.seen()[1];
    EXPECT_EQ(done.text, "Proceso finalizado");
    EXPECT_EQ(done.title, "TransHorvalPladuna");
    EXPECT_EQ(done.buttons, QStringList{"Aceptar"}) << "Qt's Spanish texts";
    EXPECT_EQ(done.icon, QMessageBox::NoIcon);
    EXPECT_EQ(entriesOf(htemp_), kTables);
    EXPECT_EQ(form->state().CodigoResultado, 1);
    EXPECT_EQ(form->state().FicheroXML, document);
    EXPECT_TRUE(form->isVisible()) << "the interactive dialog stays for the next run";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }

  writeSoluc(htemp_ / "SOLUC.DBF", {{1, 2, "1", "1ESO-A", "MAT", "LECT", "ANA", "A1"},
                                    {0, 3, "1", "1ESO-A", "MAT", "", "ANA", "A1"}});
  {
    ScriptedUser importer;
    importer.acknowledge().cancel().acknowledge();
    click(*form, "BImportar");
    EXPECT_TRUE(importer.allStepsTaken());
    EXPECT_EQ(importer.unexpected(), 0u);
    EXPECT_EQ(importer.messages(), (QStringList{kReminder, "Proceso finalizado"}));
  }
  // The cancelled file dialog leaves the document the export used.
  const std::string result = readFile(dir_ / "ResultadoHorvalinstituto.xml");
  EXPECT_NE(result.find(R"(casig="M01" cgrupo="G01" cprofe="P01" caula="R01" cactiv="A01")"),
            std::string::npos)
      << result;
  EXPECT_EQ(result.find("dia=\"0\""), std::string::npos) << "a day 0 record gives no entry";
  EXPECT_EQ(form->state().CodigoResultado, 1);
  EXPECT_TRUE(form->isVisible());
}

// A Spanish office writes hours with a decimal comma ("2,5"): the dialog reads
// them with the separator of the user's locale.
TEST_F(DialogTest, ExportReadsHoursWithTheUsersDecimalSeparator) {
  if (std::setlocale(LC_NUMERIC, "es_ES.UTF-8") == nullptr) GTEST_SKIP() << "no es_ES.UTF-8";
  std::setlocale(LC_NUMERIC, "C");
  ScopedEnv spanish("LC_ALL", "es_ES.UTF-8");
  const fs::path document = dir_ / "centro.xml";
  fs::copy_file(fs::path(THP_SAMPLES) / "centro.xml", document);
  auto form = open();
  ScriptedUser user;
  user.choose(document).acknowledge();
  click(*form, "BExportar");
  EXPECT_EQ(user.messages(), QStringList{"Proceso finalizado"});
  EXPECT_EQ(entriesOf(htemp_), kTables);
}

TEST_F(DialogTest, CancelledFirstRunReportsTheMissingFile) {
  struct Case {
    const char* button;
    QStringList messages;
  };
  const Case cases[] = {
      {"BExportar", {"No existe archivo"}},
      {"BImportar", {kReminder, "No existe archivo XML o Solución."}},
  };
  for (const Case& c : cases) {
    auto form = open();
    ScriptedUser user;
    if (c.messages.size() > 1) user.acknowledge();
    user.cancel().acknowledge();
    click(*form, c.button);
    EXPECT_TRUE(user.allStepsTaken()) << c.button;
    EXPECT_EQ(user.unexpected(), 0u) << c.button;
    EXPECT_EQ(user.messages(), c.messages) << c.button;
    EXPECT_TRUE(form->state().FicheroXML.empty()) << c.button;
    EXPECT_EQ(form->state().CodigoResultado, 0) << c.button;
    EXPECT_TRUE(form->isVisible()) << c.button;
    EXPECT_TRUE(entriesOf(htemp_).empty()) << c.button;
    EXPECT_FALSE(fs::exists(form->resultFile())) << c.button;
  }
}

TEST_F(DialogTest, FailedRunIsReportedAndLeavesTheDialogReady) {
  const fs::path document = dir_ / "instituto.xml";
  copyExchangeDocument(document);
  // The import finds SOLUC but none of the tables it looks codes up in.
  writeSoluc(htemp_ / "SOLUC.DBF", {{1, 2, "1", "1ESO-A", "MAT", "LECT", "ANA", "A1"}});
  for (const char* button : {"BImportar", "BExportar"}) {
    auto form = open();
    ScriptedUser user;
    if (button == std::string("BImportar")) user.acknowledge();
    user.choose(document).acknowledge();
    if (button == std::string("BExportar")) fs::remove_all(htemp_);
    click(*form, button);
    EXPECT_TRUE(user.allStepsTaken()) << button;
    ASSERT_FALSE(user.seen().empty());
    const Seen& report = user.seen().back();
    EXPECT_EQ(report.icon, QMessageBox::Critical) << button;
    EXPECT_EQ(report.title, "TransHorvalPladuna") << button;
    EXPECT_FALSE(report.text.isEmpty()) << button;
    EXPECT_FALSE(user.messages().contains("Proceso finalizado")) << button;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << button;
    EXPECT_EQ(form->state().CodigoResultado, 0) << button;
    EXPECT_TRUE(form->isVisible()) << button;
  }
}

TEST_F(DialogTest, BusyCursorIsRestoredHoweverOftenItWasSet) {
  auto form = open();
  form->setBusy(true);
  form->setBusy(true);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  form->setBusy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DialogTest, HandleThatIsNoWindowOpensTheInteractiveDialog) {
  struct Case {
    QStringList arguments;
    QString report;
  };
  const Case cases[] = {
      {{"exportar", "0x1A2B"}, "'$0x1A2B' no es un valor entero válido"},
      {{"importar", ""}, "'$' no es un valor entero válido"},
      // The offscreen platform has no foreign windows at all.
      {{"EXPORTAR", "1A2B"},
       "No existe la ventana 1A2B (hexadecimal) indicada en la línea de comandos; el diálogo se "
       "abre como ventana independiente."},
  };
  for (const Case& c : cases) {
    const std::string what = c.arguments.join(' ').toStdString();
    ScriptedUser user;
    user.acknowledge();
    auto form = std::make_unique<TMForm>(c.arguments, qstr(programDir_));
    EXPECT_TRUE(user.allStepsTaken()) << what;
    ASSERT_EQ(user.seen().size(), 1u) << what;
    EXPECT_EQ(user.seen()[0].text, c.report) << what;
    EXPECT_EQ(user.seen()[0].icon, QMessageBox::Critical) << what;

    form->show();
    EXPECT_FALSE(form->state().ModoIntegrado) << what;
    EXPECT_FALSE(form->windowFlags() & Qt::FramelessWindowHint) << what;
    for (const char* panel : {"Draw3D1", "Draw3D2", "Draw3D3"})
      EXPECT_TRUE(child(*form, panel)->isVisible()) << what << ' ' << panel;
    EXPECT_EQ(child(*form, "Draw3D2")->geometry(), QRect(0, 0, 315, 169)) << what;
    form->close();
    EXPECT_FALSE(fs::exists(form->resultFile())) << what;
  }
}

TEST_F(DialogTest, InteractiveDialogClosesWithSalirOnlyAndWritesNothing) {
  for (const QStringList& arguments :
       {QStringList{}, QStringList{"exportar"}, QStringList{"exportar", "1A2B", "otra"}}) {
    const std::string what = arguments.join(' ').toStdString();
    auto form = open(arguments);
    QSignalSpy closed(form.get(), &TMForm::closed);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible()) << what << ": no cancel button, Escape does nothing";
    EXPECT_EQ(closed.count(), 0) << what;

    click(*form, "BClose");
    EXPECT_FALSE(form->isVisible()) << what;
    EXPECT_EQ(closed.count(), 1) << what;
    EXPECT_FALSE(fs::exists(form->resultFile())) << what;
  }
}

#ifndef _WIN32
// Help goes to the CHM viewer; a stand-in viewer on PATH records its arguments.
class HelpTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    fs::create_directories(bin_);
    const fs::path viewer = bin_ / "xchm";
    writeFile(viewer,
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + (dir_ / "viewer-args").string() + "\"\n");
    fs::permissions(viewer, fs::perms::owner_all);
  }

  // The arguments the viewer was started with, once it has written them.
  QStringList viewerArguments() {
    const fs::path file = dir_ / "viewer-args";
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(file) && fs::file_size(file) > 0; }, 20000))
        << "the viewer was not started";
    return QString::fromStdString(readFile(file)).split('\n', Qt::SkipEmptyParts);
  }

  fs::path bin_ = dir_ / "bin";
  ScopedEnv path_{"PATH", QByteArray::fromStdString(bin_.string()) + ":/usr/bin:/bin"};
};

TEST_F(HelpTest, ButtonOpensTheContentsAndF1TheTopic) {
  const QString help = qstr(programDir_ / "PLADUNA.chm");
  writeFile(programDir_ / "PLADUNA.chm", "ITSF");
  {
    auto form = open();
    click(*form, "Button1");
    EXPECT_EQ(viewerArguments(), QStringList{help});
  }
  fs::remove(dir_ / "viewer-args");
  {
    auto form = open();
    child(*form, "BImportar")->setFocus();
    QTest::keyClick(child(*form, "BImportar"), Qt::Key_F1);
    EXPECT_EQ(viewerArguments(), (QStringList{"--contextid=3", help}));
  }
}

TEST_F(HelpTest, MissingHelpFileOrViewerIsSaid) {
  auto form = open();
  {
    ScriptedUser user;
    user.acknowledge();
    click(*form, "Button1");
    EXPECT_EQ(user.messages(), QStringList{"No se encuentra el archivo de ayuda \"" +
                                           qstr(programDir_ / "PLADUNA.chm") + "\"."});
  }
  writeFile(programDir_ / "PLADUNA.chm", "ITSF");
  fs::remove(bin_ / "xchm");
  ScopedEnv noViewer("PATH", QByteArray::fromStdString(bin_.string()));
  ScriptedUser user;
  user.acknowledge();
  QTest::keyClick(form.get(), Qt::Key_F1);
  ASSERT_EQ(user.messages().size(), 1);
  EXPECT_TRUE(user.messages()[0].startsWith("No se puede abrir la ayuda"))
      << user.messages()[0].toStdString();
  EXPECT_EQ(user.seen()[0].title, "TransHorvalPladuna");
}
#endif

}  // namespace
}  // namespace thp::gui
