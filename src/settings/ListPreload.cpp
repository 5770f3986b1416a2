#include "settings/ListPreload.h"

#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "settings/ListFile.h"

namespace tarnwick {
namespace {

bool IsFileError(ListReadStatus status) {
  return status == ListReadStatus::OpenFailed || status == ListReadStatus::ReadFailed;
}

void ShowError(UserPrompt& prompt, Msg id) {
  prompt.Show(Text(id), Text(Msg::CaptionError), PromptIcon::Error);
}

}  // namespace

ListPreload PreloadListFile(const AppSettings& settings, UserPrompt& prompt) {
  ListPreload preload;
  if (settings.PreloadFile.empty()) {
    if (settings.AutoStart == 1) ShowError(prompt, Msg::ListAutoStartWithoutPreload);
    return preload;
  }
  // Settings texts are CP932; the file system's names are UTF-8.
  ListReadResult read = ReadListFile(Utf8FromCp932(settings.PreloadFile), prompt);
  if (read.ok()) {
    preload.loaded = true;
    preload.startWatch = settings.AutoStart == 1;
    preload.rows = std::move(read.rows);
  } else if (!IsFileError(read.status)) {
    ShowError(prompt,
              settings.AutoStart == 1 ? Msg::ListAutoStartWithoutPreload : Msg::ListPreloadFailed);
  }
  return preload;
}

}  // namespace tarnwick
