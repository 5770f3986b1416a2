#pragma once

#include <QString>

#include "app/AppServices.h"

class QWidget;

namespace tarnwick {

class ComputerListModel;
struct ListState;

// Saving the list to a list file and loading one, with their questions, and
// the list's relation to its file that both keep.
class ListFileCommands {
 public:
  ListFileCommands(const AppServices& services, ComputerListModel& model, ListState& state,
                   QWidget* dialogParent);

  void Save();
  void Load();

 private:
  QString InitialFileName() const;

  const AppServices& services_;
  ComputerListModel& model_;
  ListState& state_;
  QWidget* dialogParent_;
};

}  // namespace tarnwick
