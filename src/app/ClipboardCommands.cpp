#include "app/ClipboardCommands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <string>

#include "app/CTarnwickView.h"
#include "engine/WatchState.h"
#include "gui/Cp932Text.h"
#include "gui/GuiPrompt.h"
#include "platform/Messages.h"
#include "settings/ClipboardRecord.h"

namespace tarnwick {
namespace {

bool Idle() {
  return MonitorState == MonitorStateValue::Idle;
}

QString FieldName(std::size_t field) {
  const QString heading = FromCp932(ColumnHeading(static_cast<Field>(field)));
  return heading.isEmpty() ? UiText(Msg::ListColumnNumber).arg(field + 1) : heading;
}

}  // namespace

ClipboardCommands::ClipboardCommands(const AppServices& services, CTarnwickView& view)
    : services_(services), view_(view) {}

void ClipboardCommands::Copy() {
  CopySelected();
}

void ClipboardCommands::Cut() {
  // A row whose copy was refused stays in the list.
  if (CopySelected()) view_.DeleteSelected();
}

bool ClipboardCommands::CopySelected() {
  if (!Idle()) return false;
  const int row = view_.SelectedRow();
  if (row < 0) return false;
  const ComputerEntry entry = view_.list().Entry(row);
  if (const std::optional<std::string> refusal = ClipboardRefusal(entry)) {
    services_.prompt.Show(*refusal, Text(Msg::CaptionCaution), PromptIcon::Exclamation);
    return false;
  }
  QGuiApplication::clipboard()->setText(FromCp932(FormatClipboardRecord(entry)));
  return true;
}

void ClipboardCommands::Paste() {
  if (!Idle()) return;
  ComputerListModel& model = view_.list();
  if (model.rowCount() >= services_.settings.MaxNumOfComputer) {
    services_.prompt.Show(Text(Msg::TooManyComputers), Text(Msg::CaptionCaution),
                          PromptIcon::Exclamation);
    return;
  }
  int position = view_.SelectedRow();
  if (position < 0 && model.rowCount() > 0) return;
  position = std::max(position, 0);
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty() || !RecordFitsCp932(text)) return;
  const std::optional<ComputerEntry> row = ParseClipboardRecord(ToCp932(text));
  if (!row) return;
  model.InsertEntry(position, *row);
  view_.SelectRow(position);
  view_.listState().modified = true;
}

bool ClipboardCommands::RecordFitsCp932(const QString& text) {
  // Other text is not ours: the paste ignores it without a word.
  if (!text.startsWith(QStringLiteral("ZNRQ,")) || FitsCp932(text)) return true;
  const QStringList pieces = text.split(QLatin1Char(','));
  for (std::size_t field = 0; field < kFieldCount; ++field) {
    const qsizetype piece = static_cast<qsizetype>(field) + 1;
    if (piece < pieces.size() && !FitsCp932(pieces[piece])) {
      Ask(services_.prompt, UiText(Msg::PasteNotCp932).arg(FieldName(field)),
          UiText(Msg::CaptionCaution), PromptIcon::Exclamation);
      return false;
    }
  }
  return true;
}

}  // namespace tarnwick
