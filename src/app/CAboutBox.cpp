#include "app/CAboutBox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/CStaticLink.h"
#include "app/UrlOpener.h"

namespace tarnwick {

CAboutBox::CAboutBox(QWidget* parent)
    : QDialog(parent),
      link_(new CStaticLink(QStringLiteral("最新バージョンをホームページで確認"),
                            HelpPageUrl(QStringLiteral("version")).toString(), this)) {
  setWindowTitle(QStringLiteral("Tarnwick"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/tarnwick.svg")).pixmap(48, 48));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  layout->addWidget(new QLabel(QStringLiteral("Tarnwick Rev 20070616"), this), 0, 1);
  layout->addWidget(new QLabel(QStringLiteral("Copyright (C) Tarnwick の開発者"), this), 1, 1);
  layout->addWidget(link_, 2, 1);
  layout->addWidget(buttons, 0, 2, 3, 1, Qt::AlignTop);
  layout->setHorizontalSpacing(16);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tarnwick
