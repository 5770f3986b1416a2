#pragma once

#include <QMenu>
#include <QPointer>
#include <QTableView>

#include "app/AppServices.h"
#include "app/ClipboardCommands.h"
#include "app/ListFileCommands.h"
#include "app/WatchControl.h"
#include "gui/ComputerListModel.h"
#include "gui/ListState.h"

namespace tarnwick {

// The computer list view: its keys, its selection, its pop-up and the list
// commands that act on the selected row. The clipboard, the list file and
// the watch have classes of their own, reached through the commands below.
// Every command works only in its state and tests MonitorState again
// itself, whatever enabled it.
class CTarnwickView : public QTableView {
  Q_OBJECT

 public:
  explicit CTarnwickView(AppServices services, QWidget* parent = nullptr);

  ComputerListModel& list() { return model_; }
  ListState& listState() { return listState_; }
  // The pop-up of a right click (the frame's, built from its actions).
  void SetContextMenu(QMenu* menu) { contextMenu_ = menu; }
  QMenu* contextMenu() const { return contextMenu_; }
  // The highest selected row, or -1.
  int SelectedRow() const;
  void SelectRow(int row);

  // The first display: column widths, then the preload and the automatic
  // start (the logo is the application's).
  void FitColumns();
  void Preload();

  // The commands.
  void AddComputer();
  void DeleteSelected();
  void EditSelected();
  void CopySelected() { clipboard_.Copy(); }
  void CutSelected() { clipboard_.Cut(); }
  void Paste() { clipboard_.Paste(); }
  void StartWatch() { watch_.Start(); }
  void StopWatch() { watch_.Stop(); }
  void SaveList() { listFile_.Save(); }
  void LoadList() { listFile_.Load(); }
  void OpenSettings();

  // Stops a running watch and waits for its end, keeping the GUI alive
  // meanwhile; for the orderly end on SIGTERM.
  void StopAndWait() { watch_.StopAndWait(); }

 signals:
  // MonitorState changed (start, stop, the watch's end).
  void stateChanged();
  // The watch message of the status bar: empty while idle.
  void watchMessage(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  static bool Idle();

  AppServices services_;
  ComputerListModel model_;
  ListState listState_;
  ClipboardCommands clipboard_;
  ListFileCommands listFile_;
  WatchControl watch_;
  QPointer<QMenu> contextMenu_;
};

}  // namespace tarnwick
