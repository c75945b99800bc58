#pragma once

#include <QColor>
#include <QWidget>

namespace thp::gui {

// A panel filled with a three-colour gradient from top to bottom (start,
// middle, end), with a raised one-pixel bevel, on which labels and buttons sit.
class GradientPanel : public QWidget {
  Q_OBJECT

 public:
  GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent);

  QColor startColor() const { return start_; }
  QColor middleColor() const { return middle_; }
  QColor endColor() const { return end_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor start_, middle_, end_;
};

}  // namespace thp::gui
