#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>
#include <vector>

#include "engine/ComputerEntry.h"
#include "gui/GuiRows.h"

namespace tarnwick {

// The computer list as the main window shows it: fifteen columns over the
// locked row store. The check thread reaches the same rows through rows();
// rows are inserted, removed and replaced only on the GUI thread while no
// watch runs.
class ComputerListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ComputerListModel(QObject* parent = nullptr);

  // The row operations for the check thread.
  GuiRows& rows() { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  ComputerEntry Entry(int row) const;
  std::vector<ComputerEntry> Entries() const;
  // The field as stored, in CP932.
  std::string StoredField(int row, Field field) const;

  void InsertEntry(int row, const ComputerEntry& entry);
  void AppendEntry(const ComputerEntry& entry);
  void RemoveEntry(int row);
  void ReplaceEntry(int row, const ComputerEntry& entry);
  void ReplaceAll(std::vector<ComputerEntry> entries);

  // Repaints the rows the check thread changed since the last call.
  void ShowChangedRows();

 private slots:
  // Runs on the GUI thread, posted by the row store's first change: the
  // repaint follows within one frame, so a fast pass repaints a few times
  // instead of once per row, and the painting never holds up the pass.
  void ScheduleRepaint();

 private:
  QTimer repaint_;
  mutable GuiRows rows_;
  QIcon rowIcon_;
  QIcon headerIcons_[3];
};

}  // namespace tarnwick
