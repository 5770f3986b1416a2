#include "dialogs/CIpAddressEdit.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <algorithm>

namespace tarnwick {
namespace {

constexpr int kMaxOctet = 255;
constexpr int kOctetDigits = 3;

int OctetOf(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? value : -1;
}

}  // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QFrame(parent) {
  // One sunken box on the edit colour, as a line edit looks.
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(0);
  for (int i = 0; i < kFieldCount; ++i) {
    if (i > 0) layout->addWidget(new QLabel(QStringLiteral("."), this));
    fields_[static_cast<std::size_t>(i)] = MakeField(i);
    layout->addWidget(Field(i));
    connect(Field(i), &QLineEdit::textEdited, this, [this, i] { OnEdited(i); });
  }
  layout->addStretch();
  setFocusProxy(Field(0));
}

QLineEdit* CIpAddressEdit::MakeField(int index) {
  auto* field = new QLineEdit(this);
  field->setObjectName(QStringLiteral("octet%1").arg(index));
  field->setFrame(false);
  field->setAlignment(Qt::AlignCenter);
  field->setMaxLength(kOctetDigits);
  field->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), field));
  field->setFixedWidth(QFontMetrics(field->font()).horizontalAdvance(QStringLiteral("0000")) + 4);
  field->installEventFilter(this);
  return field;
}

std::array<int, 4> CIpAddressEdit::Octets() const {
  std::array<int, 4> octets{};
  for (int i = 0; i < kFieldCount; ++i)
    octets[static_cast<std::size_t>(i)] = std::max(0, OctetOf(Field(i)->text()));
  return octets;
}

bool CIpAddressEdit::IsZero() const {
  const auto octets = Octets();
  return std::all_of(octets.begin(), octets.end(), [](int octet) { return octet == 0; });
}

QString CIpAddressEdit::Text() const {
  const auto o = Octets();
  return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
}

void CIpAddressEdit::SetText(const QString& dotted) {
  const QStringList parts = dotted.split(QLatin1Char('.'));
  for (int i = 0; i < kFieldCount; ++i) {
    const int octet = i < parts.size() ? OctetOf(parts.at(i)) : -1;
    Field(i)->setText(octet < 0 ? QString() : QString::number(std::min(octet, kMaxOctet)));
  }
}

void CIpAddressEdit::Clear() {
  for (auto* field : fields_)
    field->clear();
}

int CIpAddressEdit::IndexOf(QObject* field) const {
  for (int i = 0; i < kFieldCount; ++i)
    if (Field(i) == field) return i;
  return -1;
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const int index = IndexOf(watched);
  if (index >= 0 && event->type() == QEvent::KeyPress)
    return HandleKey(index, static_cast<QKeyEvent*>(event)->key());
  return QFrame::eventFilter(watched, event);
}

// True when the key was handled here and the field must not see it.
bool CIpAddressEdit::HandleKey(int index, int key) {
  QLineEdit* field = Field(index);
  const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
  const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
  switch (key) {
    case Qt::Key_Period:
      if (!field->text().isEmpty() && index + 1 < kFieldCount) MoveTo(index + 1, false);
      return true;
    case Qt::Key_Backspace:
      if (!field->text().isEmpty() || index == 0) return false;
      MoveTo(index - 1, true);
      return true;
    case Qt::Key_Left:
      if (!atStart || index == 0) return false;
      MoveTo(index - 1, true);
      return true;
    case Qt::Key_Right:
      if (!atEnd || index + 1 == kFieldCount) return false;
      MoveTo(index + 1, false);
      return true;
    default:
      return false;
  }
}

void CIpAddressEdit::OnEdited(int index) {
  QLineEdit* field = Field(index);
  // The address control's rule: a value above the range becomes its top.
  if (OctetOf(field->text()) > kMaxOctet) field->setText(QString::number(kMaxOctet));
  if (field->text().size() == kOctetDigits && field->cursorPosition() == kOctetDigits &&
      index + 1 < kFieldCount)
    MoveTo(index + 1, false);
}

void CIpAddressEdit::MoveTo(int index, bool toEnd) {
  QLineEdit* field = Field(index);
  field->setFocus(Qt::OtherFocusReason);
  if (toEnd) {
    field->deselect();
    field->end(false);
  } else {
    field->selectAll();
  }
}

}  // namespace tarnwick
