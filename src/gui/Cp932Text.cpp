#include "gui/Cp932Text.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace tarnwick {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

QString FromCp932(std::string_view cp932) {
  // Most fields (addresses, ports, times) are ASCII: skip iconv for them, since
  // the list converts every visible cell on each repaint.
  if (IsAscii(cp932))
    return QString::fromLatin1(cp932.data(), static_cast<qsizetype>(cp932.size()));
  return QString::fromStdString(Utf8FromCp932(cp932));
}

std::string ToCp932(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  if (IsAscii(bytes)) return std::string(bytes);
  return Cp932FromUtf8(bytes);
}

QString UiText(Msg id) {
  return FromCp932(Text(id));
}

std::size_t Cp932Length(const QString& text) {
  return ToCp932(text).size();
}

bool FitsCp932(const QString& text) {
  // The conversion writes "?" for each character it cannot hold: more of
  // them than the text brought means something was lost.
  const std::string cp932 = ToCp932(text);
  return std::count(cp932.begin(), cp932.end(), '?') == text.count(QLatin1Char('?'));
}

}  // namespace tarnwick
