// TransHorvalPladuna: the dialog a school's office opens to move data between
// PLADUNA and Horvalen, and that Horvalen starts embedded in its own window.
#include <QApplication>

#include "app/gui/MainForm.hpp"
#include "app/gui/application.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  thp::gui::application::initialise(app);

  thp::gui::TMForm MForm(QApplication::arguments().mid(1), QApplication::applicationDirPath());
  // An embedded dialog's window is no top-level one, so closing it would not
  // end the program: it ends when the close handler has run to its end.
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&MForm, &thp::gui::TMForm::closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  MForm.show();
  return QApplication::exec();
}
