#include "dialogs/ExecutableFileFilter.h"

#include <QFileSystemModel>

namespace tarnwick {

ExecutableFileFilter::ExecutableFileFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

void ExecutableFileFilter::SetProgramsOnly(bool on) {
  if (on == programsOnly_) return;
  programsOnly_ = on;
  invalidateFilter();
}

bool ExecutableFileFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
  if (!programsOnly_ || files == nullptr) return true;
  const QFileInfo info = files->fileInfo(files->index(sourceRow, 0, sourceParent));
  return info.isDir() || info.isExecutable();
}

}  // namespace tarnwick
