#include "app/gui/open_dialog.hpp"

#include <QFileDialog>
#include <QFileInfo>
#include <QWindow>

#include "app/gui/centred_dialog.hpp"

namespace thp::gui {

QStringList OpenDialog::nameFilters() const {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString& patterns = parts[i + 1];
    filters << (description == patterns
                    ? patterns
                    : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
  }
  return filters;
}

bool OpenDialog::execute(QWidget* parent, QWindow* caller, QRect callerFrame) {
  CentredDialog<QFileDialog> dialog(parent, title);
  dialog.setObjectName(QStringLiteral("OpenDialogXML"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(nameFilters());
  dialog.setDefaultSuffix(defaultExt);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  if (!parent && caller) {
    dialog.winId();
    dialog.windowHandle()->setTransientParent(caller);
    dialog.over = callerFrame;
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  fileName = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
  return true;
}

}  // namespace thp::gui
