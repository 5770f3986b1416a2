#include "dialogs/CEditComputerDlg.h"

namespace tarnwick {

CEditComputerDlg::CEditComputerDlg(ComputerListModel& list, int row, ListState& listState,
                                   const AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent),
      list_(list),
      row_(row),
      listState_(listState),
      settings_(settings),
      prompt_(prompt) {
  setWindowTitle(QStringLiteral("コンピュータの編集"));
}

}  // namespace tarnwick
