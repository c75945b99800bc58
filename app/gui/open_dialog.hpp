#pragma once

#include <QRect>
#include <QString>

class QWidget;
class QWindow;

namespace thp::gui {

// A file-open dialog kept with its settings and last choice, shown on demand:
// a title, a filter as "description|pattern" pairs, a default extension for
// names typed without one. The name typed need not exist: whoever asked
// checks that.
class OpenDialog {
 public:
  QString title;
  QString filter;
  QString defaultExt;
  QString fileName;  // the full path confirmed last; the next showing starts from it

  // Shows the dialog modally, as a child of parent, or, with no parent widget
  // (an embedded dialog), of the foreign window caller, centred over its
  // rectangle on the screen callerFrame. Returns true with fileName set when
  // the user confirms a file.
  bool execute(QWidget* parent, QWindow* caller = nullptr, QRect callerFrame = {});

  // The filter as Qt's name filters ("*.xml|*.xml" gives "*.xml").
  QStringList nameFilters() const;
};

}  // namespace thp::gui
