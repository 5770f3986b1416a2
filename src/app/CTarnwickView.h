#pragma once

#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <memory>

#include "app/AppServices.h"
#include "app/ComputerListModel.h"
#include "app/GuiBeeper.h"
#include "app/ListState.h"

namespace tarnwick {

class CCheckThread;

// The computer list view and the commands that act on it: the list
// commands, the clipboard, the list file, and the start and stop of the
// watch. Every command works only in its state and tests MonitorState again
// itself, whatever enabled it.
class CTarnwickView : public QTableView {
  Q_OBJECT

 public:
  explicit CTarnwickView(AppServices services, QWidget* parent = nullptr);
  ~CTarnwickView() override;

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
  void CopySelected();
  void CutSelected();
  void Paste();
  void StartWatch();
  void StopWatch();
  void SaveList();
  void LoadList();
  void OpenSettings();

  // Stops a running watch and waits for its end, keeping the GUI alive
  // meanwhile; for the orderly end on SIGTERM.
  void StopAndWait();

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
  // Refuses, with a message, a record of ours that CP932 cannot hold.
  bool RecordFitsCp932(const QString& text);
  // After the watch has told of its end.
  void FinishWatch();
  QString InitialListFileName() const;

  AppServices services_;
  ComputerListModel model_;
  ListState listState_;
  GuiBeeper beeper_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<CCheckThread> watch_;
  QPointer<QMenu> contextMenu_;
};

}  // namespace tarnwick
