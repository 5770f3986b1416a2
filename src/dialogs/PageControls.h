#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>
#include <string_view>

class QLineEdit;
class QWidget;

// Controls and conversions shared by the pages of the settings sheet.
namespace tarnwick {

// An edit that takes any text of at most `bytes` CP932 bytes.
QLineEdit* MakeTextEdit(std::size_t bytes, QWidget* parent);
// An edit that takes only the digits 0-9, at most `digits` of them.
QLineEdit* MakeDigitsEdit(int digits, QWidget* parent);

// The value a standard decimal conversion reads: leading blanks and one sign
// allowed, reading stops at the first non-digit, no digits give 0. Values
// beyond int are held at its bounds.
int LeadingDecimal(const QString& text);

// The edit's text as CP932, never longer than `capacity` bytes.
std::string FieldText(const QLineEdit* edit, std::size_t capacity);
// Shows a stored value whole, even beyond the edit's limit for typing.
void SetFieldText(QLineEdit* edit, std::string_view cp932);
void SetWholeText(QLineEdit* edit, const QString& text);

// The system's open-file dialog: starts on `initial`, offers `filters`
// ("text (patterns)", shown without the patterns part). The chosen full path,
// or nothing when the user cancels.
QString BrowseForFile(QWidget* parent, const QString& initial, const QStringList& filters,
                      bool mustExist);

}  // namespace tarnwick
