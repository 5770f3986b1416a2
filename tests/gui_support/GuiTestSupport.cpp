#include "gui_support/GuiTestSupport.h"

#include <QStringList>

#include "gui/Cp932Text.h"

namespace tarnwick::test {

QString Utf8Text(const std::string& cp932) {
  return FromCp932(cp932);
}

QStringList ShownBoxes(const RecordingPrompt& prompt) {
  QStringList boxes;
  for (const auto& shown : prompt.shown())
    boxes << FromCp932(shown.caption) + QLatin1Char('|') + FromCp932(shown.text);
  return boxes;
}

}  // namespace tarnwick::test
