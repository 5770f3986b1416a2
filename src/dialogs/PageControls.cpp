#include "dialogs/PageControls.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStyle>
#include <climits>

#include "gui/Cp932ByteValidator.h"
#include "gui/Cp932Text.h"
#include "platform/CodePage.h"

namespace tarnwick {

QLineEdit* MakeTextEdit(std::size_t bytes, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new Cp932ByteValidator(bytes, edit));
  return edit;
}

QLineEdit* MakeDigitsEdit(int digits, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(
      new Cp932ByteValidator(static_cast<std::size_t>(digits), edit, /*digitsOnly=*/true));
  const int width = edit->fontMetrics().horizontalAdvance(QString(digits + 2, QLatin1Char('0')));
  edit->setFixedWidth(width + 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
  return edit;
}

int LeadingDecimal(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == QLatin1Char(' ') ||
                             (text[i] >= QLatin1Char('\t') && text[i] <= QLatin1Char('\r'))))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
    negative = text[i++] == QLatin1Char('-');
  long long value = 0;
  for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
    value = value * 10 + (text[i].unicode() - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string FieldText(const QLineEdit* edit, std::size_t capacity) {
  return std::string(CutCp932(ToCp932(edit->text()), capacity));
}

void SetFieldText(QLineEdit* edit, std::string_view cp932) {
  SetWholeText(edit, FromCp932(cp932));
}

void SetWholeText(QLineEdit* edit, const QString& text) {
  // The limit is for typing: a longer value from a file or written by hand
  // is shown and kept whole until the user edits it.
  const QValidator* validator = edit->validator();
  edit->setValidator(nullptr);
  edit->setText(text);
  edit->setValidator(validator);
}

QString BrowseForFile(QWidget* parent, const QString& initial, const QStringList& filters,
                      bool mustExist) {
  // Qt's own dialog everywhere, so the filters read as the texts above.
  QFileDialog dialog(parent);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  if (!initial.isEmpty()) {
    const QFileInfo file(initial);
    if (file.dir().exists()) dialog.setDirectory(file.absolutePath());
    dialog.selectFile(file.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

}  // namespace tarnwick
