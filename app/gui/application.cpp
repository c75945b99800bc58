#include "app/gui/application.hpp"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>

namespace thp::gui::application {
namespace {

QString& helpFileName() {
  static QString file;
  return file;
}

QString& titleText() {
  static QString text;
  return text;
}

// Qt's own texts ("Aceptar", the file dialog's labels) in Spanish whatever the
// system language, as every text the user sees is Spanish.
void loadSpanishTexts(QApplication& app) {
  auto* translator = new QTranslator(&app);
  const QString name = QStringLiteral("qtbase_es");
  if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      translator->load(name, QApplication::applicationDirPath() + QStringLiteral("/translations")))
    QApplication::installTranslator(translator);
  else
    delete translator;
}

}  // namespace

void initialise(QApplication& app) {
  // QApplication switches to the user's locale on POSIX; the core parses and
  // formats in the C locale and reads the user's decimal separator itself.
  std::setlocale(LC_NUMERIC, "C");

  setHelpFile(QStringLiteral("PLADUNA.chm"));
  setTitle(QStringLiteral("TransHorvalPladuna"));
  loadSpanishTexts(app);

  // Where Windows' fonts are missing (Linux), use the metric-compatible
  // Liberation Sans, so texts keep the widths the layout was made for. Qt only
  // consults these when the family itself is not installed.
  QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

void setHelpFile(const QString& file) { helpFileName() = file; }
const QString& helpFile() { return helpFileName(); }

void setTitle(const QString& title) { titleText() = title; }
const QString& title() { return titleText(); }

}  // namespace thp::gui::application
