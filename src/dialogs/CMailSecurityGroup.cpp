#include "dialogs/CMailSecurityGroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/PageControls.h"
#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

constexpr int kPortDigits = 5;
constexpr int kLargestPort = 65535;

// What an empty port means for each protection (SmtpSecurity 0, 1, 2).
QString DefaultPort(int protection) {
  if (protection == 1) return QStringLiteral("587");
  if (protection == 2) return QStringLiteral("465");
  return QStringLiteral("25");
}

}  // namespace

CMailSecurityGroup::CMailSecurityGroup(QWidget* parent)
    : QGroupBox(QStringLiteral("送信の保護と認証"), parent),
      protection_(new QComboBox(this)),
      port_(MakeDigitsEdit(kPortDigits, this)),
      portNote_(new QLabel(this)),
      user_(MakeTextEdit(AppSettings::kCredentialCapacity, this)),
      password_(MakeTextEdit(AppSettings::kCredentialCapacity, this)),
      caFile_(MakeTextEdit(AppSettings::kCaFileCapacity, this)),
      browse_(new QPushButton(QStringLiteral("参照"), this)) {
  protection_->addItems(
      {QStringLiteral("なし"), QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS")});
  password_->setEchoMode(QLineEdit::Password);
  port_->setMaximumWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);

  caFile_->setPlaceholderText(QStringLiteral("空欄のときはシステムの証明書を使います"));

  // Three rows, two fields each, so the sheet grows as little as it can.
  auto* portRow = new QHBoxLayout;
  portRow->addWidget(port_);
  portRow->addWidget(portNote_, 1);
  auto* layout = new QGridLayout(this);
  layout->setColumnStretch(1, 1);
  layout->setColumnStretch(3, 1);
  layout->addWidget(new QLabel(QStringLiteral("接続の保護"), this), 0, 0);
  layout->addWidget(protection_, 0, 1, Qt::AlignLeft);
  layout->addWidget(new QLabel(QStringLiteral("ポート番号"), this), 0, 2);
  layout->addLayout(portRow, 0, 3);
  layout->addWidget(new QLabel(QStringLiteral("ユーザー名"), this), 1, 0);
  layout->addWidget(user_, 1, 1);
  layout->addWidget(new QLabel(QStringLiteral("パスワード"), this), 1, 2);
  layout->addWidget(password_, 1, 3);
  layout->addWidget(new QLabel(QStringLiteral("証明書 (CA ファイル)"), this), 2, 0);
  layout->addWidget(caFile_, 2, 1, 1, 2);
  layout->addWidget(browse_, 2, 3, Qt::AlignLeft);

  for (QLineEdit* edit : {port_, user_, password_, caFile_})
    connect(edit, &QLineEdit::textEdited, this, &CMailSecurityGroup::edited);
  connect(protection_, &QComboBox::activated, this, &CMailSecurityGroup::edited);
  connect(protection_, &QComboBox::currentIndexChanged, this, &CMailSecurityGroup::ShowDefaultPort);
  connect(browse_, &QPushButton::clicked, this, &CMailSecurityGroup::Browse);
  ShowDefaultPort();
}

void CMailSecurityGroup::Fill(const AppSettings& settings) {
  // An unknown value is shown as the strongest protection, as the client uses it.
  const int security = settings.SmtpSecurity;
  protection_->setCurrentIndex(security >= 0 && security <= 2 ? security : 2);
  port_->setText(settings.SmtpPort > 0 && settings.SmtpPort <= kLargestPort
                     ? QString::number(settings.SmtpPort)
                     : QString());
  SetFieldText(user_, settings.SmtpUser);
  SetFieldText(password_, settings.SmtpPassword);
  SetFieldText(caFile_, settings.SmtpCaFile);
  ShowDefaultPort();
}

QString CMailSecurityGroup::Problem() const {
  const QString port = port_->text();
  if (!port.isEmpty() && (port.toInt() < 1 || port.toInt() > kLargestPort))
    return QStringLiteral("ポート番号には1から65535までの値を入力してください。");
  if (user_->text().isEmpty() != password_->text().isEmpty())
    return QStringLiteral("ユーザー名とパスワードは両方とも入力してください。");
  if (!user_->text().isEmpty() && protection_->currentIndex() == 0)
    return UiText(Msg::MailAuthNeedsTls);
  return QString();
}

void CMailSecurityGroup::Store(AppSettings& settings) const {
  settings.SmtpSecurity = protection_->currentIndex();
  settings.SmtpPort = port_->text().isEmpty() ? 0 : port_->text().toInt();
  settings.SmtpUser = FieldText(user_, AppSettings::kCredentialCapacity);
  settings.SmtpPassword = FieldText(password_, AppSettings::kCredentialCapacity);
  settings.SmtpCaFile = FieldText(caFile_, AppSettings::kCaFileCapacity);
}

void CMailSecurityGroup::ShowDefaultPort() {
  portNote_->setText(
      QStringLiteral("(空欄のときは既定: %1)").arg(DefaultPort(protection_->currentIndex())));
}

void CMailSecurityGroup::Browse() {
  const QString path = BrowseForFile(this, caFile_->text(),
                                     {QStringLiteral("証明書(*.pem *.crt) (*.pem *.crt)"),
                                      QStringLiteral("すべてのファイル(*.*) (*)")},
                                     /*mustExist=*/true);
  if (path.isEmpty()) return;
  caFile_->setText(path);
  emit edited();
}

}  // namespace tarnwick
