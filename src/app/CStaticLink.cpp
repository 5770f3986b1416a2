#include "app/CStaticLink.h"

#include <QApplication>
#include <QMouseEvent>
#include <QUrl>

#include "app/UrlOpener.h"

namespace tarnwick {

CStaticLink::CStaticLink(const QString& text, const QString& target, QWidget* parent)
    : QLabel(text, parent), target_(target) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  ApplyColor();
}

void CStaticLink::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  const QString where = target_.isEmpty() ? text() : target_;
  if (where.isEmpty()) return;
  if (!UrlOpener::Open(QUrl(where))) {
    QApplication::beep();
    return;
  }
  color_ = kVisited;
  ApplyColor();
}

void CStaticLink::ApplyColor() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, color_);
  setPalette(colours);
  update();
}

}  // namespace tarnwick
