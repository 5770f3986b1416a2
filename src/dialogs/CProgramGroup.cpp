#include "dialogs/CProgramGroup.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/CProgramFileDialog.h"
#include "gui/Cp932ByteValidator.h"

namespace tarnwick {

CProgramGroup::CProgramGroup(const QString& title, std::size_t limit, QWidget* parent)
    : QGroupBox(title, parent),
      edit_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("参照"), this)) {
  edit_->setValidator(new Cp932ByteValidator(limit, edit_));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);
  connect(browse_, &QPushButton::clicked, this, &CProgramGroup::Browse);
}

void CProgramGroup::Browse() {
  const QString path = CProgramFileDialog::Choose(this);
  if (path.isEmpty()) return;
  // The command line splits at blanks outside quotes: a path with a blank
  // is one program only when quoted.
  const bool quote = path.contains(QLatin1Char(' '));
  edit_->setText(quote ? QLatin1Char('"') + path + QLatin1Char('"') : path);
}

}  // namespace tarnwick
