#include "dialogs/CProgramFileDialog.h"

#include <QStringList>

#include "dialogs/ExecutableFileFilter.h"

namespace tarnwick {
namespace {

// Programs here carry no ".exe" and batch files are shell scripts; the first
// entry shows files with the execute permission instead of a name pattern.
const QString kProgramsFilter = QStringLiteral("アプリケーション (*)");
const QString kScriptsFilter = QStringLiteral("シェルスクリプト (*.sh)");
const QString kAllFilesFilter = QStringLiteral("すべてのファイル (*)");

}  // namespace

CProgramFileDialog::CProgramFileDialog(QWidget* parent)
    : QFileDialog(parent, QStringLiteral("開く")), filter_(new ExecutableFileFilter(this)) {
  // The filter needs Qt's own dialog: a desktop's native one takes no proxy.
  setOption(QFileDialog::DontUseNativeDialog);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setProxyModel(filter_);
  setNameFilters({kProgramsFilter, kScriptsFilter, kAllFilesFilter});
  filter_->SetProgramsOnly(true);
  connect(this, &QFileDialog::filterSelected, this,
          [this](const QString& chosen) { filter_->SetProgramsOnly(chosen == kProgramsFilter); });
}

QString CProgramFileDialog::Choose(QWidget* parent) {
  CProgramFileDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace tarnwick
