#include "MainWindowFixture.h"

#include "gui/Cp932Text.h"

namespace tarnwick::test {

MainWindowFixture::MainWindowFixture() : registry(dir.File("registry.reg")) {
  settings.MaxNumOfComputer = 5;
  settings.CheckInterval = 1;
  settings.PingTimeOut = 1000;
  frame = std::make_unique<CMainFrame>(
      AppServices{settings, registry, prompt, clock, sleeper, dir.path(),
                  [this] {
                    auto made = std::make_unique<GatedNotifier>(settings);
                    notifier = made.get();
                    return made;
                  },
                  [this] { return std::make_unique<AlertChannels>(settings, prompt); },
                  [this](QWidget*, bool, const QString&) {
                    return nextFiles.isEmpty() ? QString() : nextFiles.takeFirst();
                  }});
  view = &frame->view();
}

ComputerEntry MainWindowFixture::Row(const std::string& name, const std::string& service,
                                     const std::string& port) const {
  ComputerEntry row;
  row[Field::ComputerName] = ToCp932(QString::fromStdString(name));
  row[Field::IpAddress] = "127.0.0.1";
  row[Field::Status] = StatusUnknownText();
  row[Field::CheckService] = service;
  row[Field::Port] = port;
  return row;
}

void MainWindowFixture::SetRows(std::initializer_list<ComputerEntry> rows) {
  view->list().ReplaceAll(rows);
}

QStringList MainWindowFixture::Names() const {
  QStringList names;
  for (const ComputerEntry& row : view->list().Entries())
    names << FromCp932(row[Field::ComputerName]);
  return names;
}

}  // namespace tarnwick::test
