#include "app/gui/MainForm.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QWindow>
#include <exception>

#include "app/gui/application.hpp"
#include "app/gui/centred_dialog.hpp"
#include "app/gui/gradient_panel.hpp"
#include "app/gui/gui_platform.hpp"
#include "app/gui/profile_file.hpp"
#include "export/export_run.hpp"
#include "formats/error.hpp"
#include "formats/numbers.hpp"
#include "import/import_run.hpp"

namespace thp::gui {
namespace {

// The help topic of the dialog, its panels and its buttons.
constexpr int kHelpContext = 3;
constexpr const char* kHelpContextProperty = "HelpContext";

// A button with a glyph before its caption. Qt has no OK glyph of Windows'
// kind; its "apply" icon, a green tick, is the closest.
QPushButton* bitmapButton(QStyle::StandardPixmap glyph, const QString& caption, QWidget* parent) {
  return new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
}

QFont arialBold16() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(16);
  font.setBold(true);
  return font;
}

QLabel* panelLabel(const QString& text, const QFont& font, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

std::filesystem::path toPath(const QString& file) { return QFileInfo(file).filesystemFilePath(); }

}  // namespace

TMForm::TMForm(const QStringList& arguments, const QString& programDirectory)
    : programDirectory_(programDirectory) {
  createControls();
  FormCreate(arguments);
}

TMForm::~TMForm() {
  // The native window is a child of the caller's window wrapper; release it
  // before the wrapper goes.
  if (caller_) destroy();
}

void TMForm::createControls() {
  setObjectName(QStringLiteral("MForm"));
  setWindowTitle(QStringLiteral("Exportar e importar datos entre Horvalen y PLADUNA"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(632, 266);
  move(194, 167);
  QFont dialogFont(QStringLiteral("MS Sans Serif"));
  dialogFont.setPixelSize(11);
  setFont(dialogFont);
  setProperty(kHelpContextProperty, kHelpContext);

  // Created in this order so the two upper panels lie in front of the strip.
  Draw3D1 =
      new GradientPanel(QColor(194, 205, 254), QColor(207, 242, 254), QColor(204, 216, 230), this);
  Draw3D1->setObjectName(QStringLiteral("Draw3D1"));
  Draw3D1->setGeometry(0, 168, 633, 97);

  Label1 = new QLabel(QStringLiteral("TransHorvalenPladuna para QT20 V-1.0"), Draw3D1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(8, 72, 233, 13);
  QFont boldFont = dialogFont;
  boldFont.setBold(true);
  Label1->setFont(boldFont);
  QPalette red = Label1->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  Label1->setPalette(red);

  BClose = bitmapButton(QStyle::SP_DialogCloseButton, QStringLiteral("&Salir"), Draw3D1);
  BClose->setObjectName(QStringLiteral("BClose"));
  BClose->setGeometry(256, 32, 89, 25);

  Button1 = new QPushButton(QStringLiteral("F1 Ayuda"), Draw3D1);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(48, 40, 75, 25);

  const QColor start(249, 211, 125), middle(Qt::white), end(255, 238, 221);
  Draw3D2 = new GradientPanel(start, middle, end, this);
  Draw3D2->setObjectName(QStringLiteral("Draw3D2"));
  Draw3D2->setGeometry(0, 0, 315, 169);
  Label3 = panelLabel(QStringLiteral("Transformar datos desde PLADUNA hacia Horvalen "),
                      arialBold16(), Draw3D2);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setGeometry(24, 24, 265, 57);
  BExportar = bitmapButton(QStyle::SP_DialogApplyButton, QStringLiteral("Aceptar"), Draw3D2);
  BExportar->setObjectName(QStringLiteral("BExportar"));
  BExportar->setGeometry(96, 120, 89, 25);

  Draw3D3 = new GradientPanel(start, middle, end, this);
  Draw3D3->setObjectName(QStringLiteral("Draw3D3"));
  Draw3D3->setGeometry(316, 0, 317, 169);
  Label4 = panelLabel(QStringLiteral("Transformar datos desde Horvalen hacia PLADUNA"),
                      arialBold16(), Draw3D3);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setGeometry(8, 24, 305, 57);
  BImportar = bitmapButton(QStyle::SP_DialogApplyButton, QStringLiteral("Aceptar"), Draw3D3);
  BImportar->setObjectName(QStringLiteral("BImportar"));
  BImportar->setGeometry(96, 120, 89, 25);

  for (QWidget* widget : {static_cast<QWidget*>(Draw3D1), static_cast<QWidget*>(Draw3D2),
                          static_cast<QWidget*>(Draw3D3), static_cast<QWidget*>(BExportar),
                          static_cast<QWidget*>(BImportar), static_cast<QWidget*>(BClose),
                          static_cast<QWidget*>(Button1)})
    widget->setProperty(kHelpContextProperty, kHelpContext);

  setTabOrder(BExportar, BImportar);
  setTabOrder(BImportar, Button1);
  setTabOrder(Button1, BClose);
  BExportar->setFocus();

  OpenDialogXML.title = QStringLiteral("Archivo XML");
  OpenDialogXML.filter = QStringLiteral("*.xml|*.xml");
  OpenDialogXML.defaultExt = QStringLiteral("xml");

  connect(BExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
  connect(BImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
  connect(BClose, &QPushButton::clicked, this, &TMForm::close);
  connect(Button1, &QPushButton::clicked, this, &TMForm::Button1Click);
}

template <class Work>
void TMForm::handle(Work&& work) {
  try {
    work();
  } catch (const std::exception& error) {
    showError(QString::fromUtf8(error.what()));
  }
}

void TMForm::FormCreate(const QStringList& arguments) {
  state_.CodigoResultado = 0;
  // A handle that is no number, or names no window, is reported and the
  // dialog opens as in the interactive mode.
  handle([&] {
    if (const auto embedding = readLaunchArguments(arguments)) embed(*embedding);
  });
}

void TMForm::embed(const Embedding& embedding) {
  const WId id = embedding.window;
  if (platform::nativeWindowExists(id)) caller_.reset(QWindow::fromWinId(id));
  if (!caller_)
    throw Error("No existe la ventana " + QString::number(id, 16).toUpper().toStdString() +
                " (hexadecimal) indicada en la línea de comandos; el diálogo se abre como "
                "ventana independiente.");

  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_NativeWindow);
  winId();
  windowHandle()->setParent(caller_.get());
  move(0, 0);
  state_.ModoIntegrado = true;

  if (embedding.panels == Panels::Import) {
    Draw3D2->hide();
    Draw3D3->setGeometry(rect());
    Draw3D3->raise();
    BImportar->setFocus();
  } else if (embedding.panels == Panels::Export) {
    Draw3D3->hide();
    Draw3D2->setGeometry(rect());
    Draw3D2->raise();
  }
}

std::filesystem::path TMForm::resultFile() const {
  return toPath(QDir(programDirectory_).filePath(QStringLiteral("Horvalen.ini")));
}

void TMForm::BExportarClick() {
  handle([this] {
    exporter::ExportSettings settings;
    settings.decimalSeparator = numbers::localeDecimalSeparator();
    exporter::BExportarClick(state_, *this, settings);
  });
}

void TMForm::BImportarClick() {
  handle([this] {
    importer::ImportSettings settings;
    settings.decimalSeparator = numbers::localeDecimalSeparator();
    importer::BImportarClick(state_, *this, settings);
  });
}

void TMForm::Button1Click() {
  application::setHelpFile(QStringLiteral("PLADUNA.chm"));
  showHelp(std::nullopt);
}

void TMForm::showHelp(std::optional<int> context) {
  QString file = application::helpFile();
  if (QFileInfo(file).isRelative()) file = QDir(programDirectory_).filePath(file);
  if (!QFileInfo(file).isFile()) {
    showError(QStringLiteral("No se encuentra el archivo de ayuda \"%1\".")
                  .arg(QDir::toNativeSeparators(file)));
    return;
  }
  QString failure;
  if (!platform::showHelp(file, context, winId(), failure)) showError(failure);
}

std::optional<std::filesystem::path> TMForm::chooseExchangeDocument() {
  QWidget* owner = caller_ ? nullptr : this;
  const QRect callerFrame = caller_ ? platform::nativeWindowFrame(caller_->winId()) : QRect();
  if (!OpenDialogXML.execute(owner, caller_.get(), callerFrame)) return std::nullopt;
  return toPath(OpenDialogXML.fileName);
}

void TMForm::showMessage(std::string_view message) {
  QString text = QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  messageBox(QMessageBox::NoIcon, text);
}

void TMForm::setBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return;
  }
  // Override cursors stack: take them all, so no run can leave the next busy.
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

void TMForm::closeDialog() { close(); }

void TMForm::showError(const QString& text) { messageBox(QMessageBox::Critical, text); }

void TMForm::messageBox(QMessageBox::Icon icon, const QString& text) {
  // An embedded dialog's boxes belong to the caller's window: as children of
  // the embedded dialog they could open behind it.
  QWidget* owner = caller_ || !isVisible() ? nullptr : this;
  CentredDialog<QMessageBox> box(icon, application::title(), text, QMessageBox::Ok, owner);
  if (caller_) {
    box.winId();
    box.windowHandle()->setTransientParent(caller_.get());
    box.over = platform::nativeWindowFrame(caller_->winId());
  }
  box.exec();
}

void TMForm::closeEvent(QCloseEvent* event) {
  if (state_.ModoIntegrado) {
    try {
      profile::writeInteger(resultFile(), "Transformadores", "Transformado",
                            state_.CodigoResultado);
    } catch (const std::exception& error) {
      event->ignore();
      showError(QString::fromUtf8(error.what()));
      return;
    }
  }
  event->accept();
  emit closed();
}

void TMForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
    QWidget* widget = focusWidget();
    while (widget != nullptr && !widget->property(kHelpContextProperty).isValid())
      widget = widget->parentWidget();
    showHelp(widget != nullptr ? widget->property(kHelpContextProperty).toInt() : kHelpContext);
    return;
  }
  // The dialog has no cancel button, so Escape does not close it.
  if (event->matches(QKeySequence::Cancel)) return;
  QDialog::keyPressEvent(event);
}

}  // namespace thp::gui
