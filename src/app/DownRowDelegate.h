#pragma once

#include <QStyledItemDelegate>

namespace tarnwick {

// Draws the list's cells. A row with a colour of its own (a down computer's
// red) keeps it when selected, drawn darker, so the selection never hides
// that a computer is down; other rows show the usual selection.
class DownRowDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // How much darker the selected coloured row is drawn (Qt's factor).
  static constexpr int kSelectedDarkness = 160;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace tarnwick
