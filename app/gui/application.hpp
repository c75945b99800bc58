#pragma once

#include <QString>

class QApplication;

// What the program start sets up for the whole application, before the dialog
// is created: the help file, the title, and the look every window shares.
namespace thp::gui::application {

// Sets the help file "PLADUNA.chm" and the title "TransHorvalPladuna", loads
// Qt's Spanish texts for its own dialogs and buttons, and maps the layout's
// Windows fonts to their nearest metric equivalents where they are missing.
void initialise(QApplication& app);

// The help file; a name without directory is looked for beside the executable.
void setHelpFile(const QString& file);
const QString& helpFile();

// The title; it captions every message box the tool shows.
void setTitle(const QString& title);
const QString& title();

}  // namespace thp::gui::application
