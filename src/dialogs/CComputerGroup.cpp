#include "dialogs/CComputerGroup.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "dialogs/CIpAddressEdit.h"
#include "gui/Cp932ByteValidator.h"

namespace tarnwick {

CComputerGroup::CComputerGroup(std::size_t nameLimit, bool withNote, QWidget* parent)
    : QGroupBox(QStringLiteral("監視するコンピュータ"), parent),
      address_(new CIpAddressEdit(this)),
      name_(new QLineEdit(this)) {
  address_->setObjectName(QStringLiteral("ipAddress"));
  name_->setObjectName(QStringLiteral("computerName"));
  name_->setValidator(new Cp932ByteValidator(nameLimit, name_));
  auto* layout = new QFormLayout(this);
  layout->addRow(QStringLiteral("IPアドレス"), address_);
  layout->addRow(QStringLiteral("コンピュータ名"), name_);
  if (!withNote) return;
  auto* note =
      new QLabel(QStringLiteral("(注)コンピュータ名は、本ツールにおいて直接は使用しません。"
                                "後で分かりやすい名前をつけてかまいません。"),
                 this);
  note->setWordWrap(true);
  layout->addRow(note);
}

}  // namespace tarnwick
