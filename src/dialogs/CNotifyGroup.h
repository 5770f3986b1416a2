#pragma once

#include <QGroupBox>

class QCheckBox;

namespace tarnwick {

// The three ways of telling about a down or a restore, in a group titled
// `title`.
class CNotifyGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit CNotifyGroup(const QString& title, QWidget* parent = nullptr);

  QCheckBox* byMail() const { return byMail_; }
  QCheckBox* byNetsend() const { return byNetsend_; }
  QCheckBox* byEventlog() const { return byEventlog_; }

 private:
  QCheckBox* byMail_;
  QCheckBox* byNetsend_;
  QCheckBox* byEventlog_;
};

}  // namespace tarnwick
