#pragma once

#include <QMainWindow>
#include <map>

#include "app/AppServices.h"
#include "app/CommandId.h"

class QLabel;

namespace tarnwick {

class CTarnwickView;

// The main window: menu, toolbar, status bar and the computer list view.
// One action per command, shared by menu, toolbar, context menu and
// accelerators, enabled from MonitorState in one place.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(AppServices services, QWidget* parent = nullptr);

  CTarnwickView& view() const { return *view_; }
  QAction* action(CommandId id) const { return actions_.at(id); }
  // The watch message shown in the status bar.
  QString watchMessage() const;

  // The only way out while idle: the unsaved-changes question, then the exit.
  void ExitCommand();
  // Lets the window close (the application is ending).
  void AllowClose() { closeAllowed_ = true; }
  // Enables each command for the current MonitorState.
  void UpdateActions();

 signals:
  // The exit command was confirmed: the application runs its exit steps.
  void exitConfirmed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* MakeAction(CommandId id, const QString& text, const QString& icon, const QString& prompt,
                      const QString& tip = {});
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  // An item of the list's pop-up that runs the command `id`.
  QAction* MakeContextAction(CommandId id, const QString& text, bool withIcon);
  void CreateContextMenu();
  void OpenHelp();
  void OpenAbout();

  AppServices services_;
  CTarnwickView* view_;
  std::map<CommandId, QAction*> actions_;
  QToolBar* toolBar_ = nullptr;
  QLabel* watchLabel_ = nullptr;
  bool closeAllowed_ = false;
};

}  // namespace tarnwick
