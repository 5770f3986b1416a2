#include "dialogs/CNotifyGroup.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace tarnwick {

CNotifyGroup::CNotifyGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent),
      byMail_(new QCheckBox(QStringLiteral("メールで連絡"), this)),
      byNetsend_(new QCheckBox(QStringLiteral("メッセージ送信"), this)),
      byEventlog_(new QCheckBox(QStringLiteral("イベントログに記録"), this)) {
  byMail_->setObjectName(QStringLiteral("byMail"));
  byNetsend_->setObjectName(QStringLiteral("byNetsend"));
  byEventlog_->setObjectName(QStringLiteral("byEventlog"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(byMail_);
  layout->addWidget(byNetsend_);
  layout->addWidget(byEventlog_);
}

}  // namespace tarnwick
