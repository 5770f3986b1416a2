#include "dialogs/CAddComputerDlg.h"

namespace tarnwick {

CAddComputerDlg::CAddComputerDlg(ComputerListModel& list, ListState& listState,
                                 const AppSettings& settings, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent), list_(list), listState_(listState), settings_(settings), prompt_(prompt) {
  setWindowTitle(QStringLiteral("コンピュータの追加"));
}

}  // namespace tarnwick
