#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

namespace thp::gui {

// A dialog that belongs to another program's window: Qt cannot place it over
// a window it knows only by id, so it is centred over that window's rectangle
// on the screen once its own size is final, just before it is mapped.
template <class Dialog>
class CentredDialog : public Dialog {
 public:
  using Dialog::Dialog;

  QRect over;  // empty: where Qt puts it

 protected:
  void showEvent(QShowEvent* event) override {
    Dialog::showEvent(event);
    if (over.isEmpty()) return;
    QRect placed(QPoint(), this->frameGeometry().size());
    placed.moveCenter(over.center());
    if (const QScreen* screen = QGuiApplication::screenAt(over.center())) {
      const QRect area = screen->availableGeometry();
      placed.moveLeft(
          std::max(area.left(), std::min(placed.left(), area.right() - placed.width())));
      placed.moveTop(std::max(area.top(), std::min(placed.top(), area.bottom() - placed.height())));
    }
    this->move(placed.topLeft());
  }
};

}  // namespace thp::gui
