#include "app/DownRowDelegate.h"

#include <QBrush>

namespace tarnwick {
namespace {

// A role's colour, given as a colour or as a brush.
QColor ColourOf(const QVariant& value) {
  if (value.typeId() == QMetaType::QBrush) return value.value<QBrush>().color();
  return value.value<QColor>();
}

}  // namespace

void DownRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (!(option->state & QStyle::State_Selected)) return;
  const QVariant background = index.data(Qt::BackgroundRole);
  if (!background.isValid()) return;
  const QColor selected = ColourOf(background).darker(kSelectedDarkness);
  const QColor text = ColourOf(index.data(Qt::ForegroundRole));
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    option->palette.setColor(group, QPalette::Highlight, selected);
    if (text.isValid()) option->palette.setColor(group, QPalette::HighlightedText, text);
  }
}

}  // namespace tarnwick
