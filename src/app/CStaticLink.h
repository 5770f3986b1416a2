#pragma once

#include <QColor>
#include <QLabel>

namespace tarnwick {

// A text that behaves as a hyperlink: blue and underlined, purple once its
// target has been opened, with the hand cursor. A click opens the target
// (or, without one, the text itself) with the desktop's handler; when no
// handler takes it the program beeps and the colour stays.
class CStaticLink : public QLabel {
  Q_OBJECT

 public:
  static inline const QColor kUnvisited{0, 0, 255};
  static inline const QColor kVisited{128, 0, 128};

  explicit CStaticLink(const QString& text, const QString& target = {}, QWidget* parent = nullptr);

  const QString& target() const { return target_; }
  void setTarget(const QString& target) { target_ = target; }
  QColor color() const { return color_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void ApplyColor();

  QString target_;
  QColor color_ = kUnvisited;
};

}  // namespace tarnwick
