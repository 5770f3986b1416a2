#pragma once

#include <QDialog>

namespace tarnwick {

class CStaticLink;

// The about box: icon, name and revision, owner line, and the link to the
// version section of the program's help page.
class CAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutBox(QWidget* parent = nullptr);

  CStaticLink* link() const { return link_; }

 private:
  CStaticLink* link_;
};

}  // namespace tarnwick
