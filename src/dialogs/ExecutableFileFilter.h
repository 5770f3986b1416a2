#pragma once

#include <QSortFilterProxyModel>

namespace tarnwick {

// Shows only folders and files that may be run, while switched on, in a file
// dialog over the file system: name patterns cannot tell programs apart on a
// system without ".exe".
class ExecutableFileFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit ExecutableFileFilter(QObject* parent = nullptr);

  void SetProgramsOnly(bool on);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  bool programsOnly_ = false;
};

}  // namespace tarnwick
