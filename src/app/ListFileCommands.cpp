#include "app/ListFileCommands.h"

#include "engine/WatchState.h"
#include "gui/ComputerListModel.h"
#include "gui/ListState.h"
#include "platform/Messages.h"
#include "settings/ListFile.h"

namespace tarnwick {
namespace {

bool Idle() {
  return MonitorState == MonitorStateValue::Idle;
}

}  // namespace

ListFileCommands::ListFileCommands(const AppServices& services, ComputerListModel& model,
                                   ListState& state, QWidget* dialogParent)
    : services_(services), model_(model), state_(state), dialogParent_(dialogParent) {}

QString ListFileCommands::InitialFileName() const {
  return state_.currentFile.empty() ? QStringLiteral("*.ls2")
                                    : QString::fromStdString(state_.currentFile);
}

void ListFileCommands::Save() {
  if (!Idle()) return;
  if (model_.rowCount() == 0) {
    services_.prompt.Show(Text(Msg::ListNothingToSave), Text(Msg::CaptionCaution),
                          PromptIcon::Exclamation);
    return;
  }
  const QString path = services_.chooseListFile(dialogParent_, true, InitialFileName());
  if (path.isEmpty()) return;
  const std::string file = path.toStdString();
  if (!WriteListFile(file, model_.Entries(), services_.prompt)) return;
  state_.modified = false;
  state_.currentFile = file;
}

void ListFileCommands::Load() {
  if (!Idle()) return;
  if (state_.modified &&
      services_.prompt.Show(Text(Msg::ListSaveBeforeLoad), Text(Msg::CaptionConfirm),
                            PromptIcon::Question, PromptButtons::YesNo) == PromptAnswer::Yes)
    Save();
  const QString path = services_.chooseListFile(dialogParent_, false, InitialFileName());
  if (path.isEmpty()) return;
  const std::string file = path.toStdString();
  // A file that cannot be read leaves the list, its flag and its file name
  // as they were: the user loses nothing to a wrong choice.
  ListReadResult read = ReadListFile(file, services_.prompt);
  if (!read.ok()) return;
  model_.ReplaceAll(std::move(read.rows));
  state_.modified = false;
  state_.currentFile = file;
}

}  // namespace tarnwick
