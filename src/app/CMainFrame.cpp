#include "app/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "app/CAboutBox.h"
#include "app/CTarnwickView.h"
#include "app/UrlOpener.h"
#include "engine/WatchState.h"
#include "gui/Cp932Text.h"
#include "gui/GuiPrompt.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

bool IdleOnly(CommandId id) {
  return id != CommandId::Stop && id != CommandId::Help && id != CommandId::About;
}

}  // namespace

CMainFrame::CMainFrame(AppServices services, QWidget* parent)
    : QMainWindow(parent), services_(services), view_(new CTarnwickView(services, this)) {
  setWindowTitle(QStringLiteral("Tarnwick"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/tarnwick.svg")));
  setCentralWidget(view_);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateContextMenu();
  connect(view_, &CTarnwickView::stateChanged, this, &CMainFrame::UpdateActions);
  connect(view_, &CTarnwickView::watchMessage, watchLabel_, &QLabel::setText);
  UpdateActions();
  resize(1000, 560);
}

QAction* CMainFrame::MakeAction(CommandId id, const QString& text, const QString& icon,
                                const QString& prompt, const QString& tip) {
  auto* action = new QAction(text, this);
  if (!icon.isEmpty()) action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
  action->setStatusTip(prompt);
  action->setToolTip(tip.isEmpty() ? prompt : tip);
  action->setData(static_cast<int>(id));
  // Only the list's pop-up shows icons in a menu (its own add and delete).
  action->setIconVisibleInMenu(false);
  actions_[id] = action;
  return action;
}

void CMainFrame::CreateActions() {
  CTarnwickView* view = view_;
  auto bind = [](QAction* action, auto handler) {
    QObject::connect(action, &QAction::triggered, action, handler);
  };
  bind(MakeAction(CommandId::Add, QStringLiteral("コンピュータを追加(&A)"), QStringLiteral("add"),
                  QStringLiteral("監視するコンピュータをコンピュータリストに追加")),
       [view] { view->AddComputer(); });
  bind(MakeAction(CommandId::Delete, QStringLiteral("コンピュータを削除(&D)"),
                  QStringLiteral("delete"),
                  QStringLiteral("監視するコンピュータをコンピュータリストから削除")),
       [view] { view->DeleteSelected(); });
  bind(MakeAction(CommandId::Edit, QStringLiteral("コンピュータを編集(&E)"), QStringLiteral("edit"),
                  QStringLiteral("監視するコンピュータを編集")),
       [view] { view->EditSelected(); });
  bind(MakeAction(CommandId::Copy, QStringLiteral("コピー(&C)"), {},
                  QStringLiteral("監視するコンピュータをクリップボードへコピー")),
       [view] { view->CopySelected(); });
  bind(MakeAction(CommandId::Cut, QStringLiteral("切り取り(&X)"), {}, {}),
       [view] { view->CutSelected(); });
  bind(MakeAction(CommandId::Paste, QStringLiteral("貼り付け(&V)"), {},
                  QStringLiteral("監視するコンピュータをクリップボードから貼り付け")),
       [view] { view->Paste(); });
  bind(MakeAction(CommandId::Start, QStringLiteral("監視を開始(&S)"), QStringLiteral("start"),
                  QStringLiteral("監視を開始")),
       [view] { view->StartWatch(); });
  bind(MakeAction(CommandId::Stop, QStringLiteral("監視を停止(&P)"), QStringLiteral("stop"),
                  QStringLiteral("監視を停止")),
       [view] { view->StopWatch(); });
  bind(MakeAction(CommandId::Load, QStringLiteral("コンピュータリストファイルをロード(&L)"),
                  QStringLiteral("load"),
                  QStringLiteral("監視するコンピュータリストをファイルからロード")),
       [view] { view->LoadList(); });
  bind(MakeAction(CommandId::Save, QStringLiteral("コンピュータリストファイルをセーブ(&S)"),
                  QStringLiteral("save"),
                  QStringLiteral("監視するコンピュータリストをファイルへ保存")),
       [view] { view->SaveList(); });
  bind(MakeAction(CommandId::Settings, QStringLiteral("設定(&O)"), QStringLiteral("settings"),
                  QStringLiteral("設定画面を表示")),
       [view] { view->OpenSettings(); });
  bind(MakeAction(CommandId::Help, QStringLiteral("ヘルプ(&H)"), QStringLiteral("help"),
                  QStringLiteral("ヘルプファイルを表示")),
       [this] { OpenHelp(); });
  bind(MakeAction(CommandId::About, QStringLiteral("Tarnwick のバージョン情報(&A)..."), {},
                  QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"),
                  QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報")),
       [this] { OpenAbout(); });
  bind(MakeAction(CommandId::Exit, QStringLiteral("アプリケーションの終了(&X)"),
                  QStringLiteral("exit"), QStringLiteral("アプリケーションを終了")),
       [this] { ExitCommand(); });

  action(CommandId::Copy)
      ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
  action(CommandId::Cut)
      ->setShortcuts(
          {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
  action(CommandId::Paste)
      ->setShortcuts(
          {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  file->addAction(action(CommandId::Load));
  file->addAction(action(CommandId::Save));
  file->addSeparator();
  file->addAction(action(CommandId::Exit));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
  for (CommandId id : {CommandId::Add, CommandId::Delete, CommandId::Edit})
    edit->addAction(action(id));
  edit->addSeparator();
  for (CommandId id : {CommandId::Copy, CommandId::Cut, CommandId::Paste})
    edit->addAction(action(id));

  QMenu* watch = menuBar()->addMenu(QStringLiteral("監視(&W)"));
  watch->addAction(action(CommandId::Start));
  watch->addAction(action(CommandId::Stop));

  // Filled once the toolbar exists (its show/hide action).
  QMenu* show = menuBar()->addMenu(QStringLiteral("表示(&V)"));
  show->setObjectName(QStringLiteral("viewMenu"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->addAction(action(CommandId::Help));
  help->addAction(action(CommandId::About));
}

void CMainFrame::CreateToolBar() {
  toolBar_ = addToolBar(QStringLiteral("ツールバー"));
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setIconSize(QSize(24, 24));
  const std::initializer_list<std::initializer_list<CommandId>> groups = {
      {CommandId::Add, CommandId::Delete, CommandId::Edit},
      {CommandId::Start, CommandId::Stop},
      {CommandId::Load, CommandId::Save, CommandId::Settings},
      {CommandId::Help, CommandId::Exit}};
  bool first = true;
  for (const auto& group : groups) {
    if (!first) toolBar_->addSeparator();
    first = false;
    for (CommandId id : group)
      toolBar_->addAction(action(id));
  }

  QMenu* show = menuBar()->findChild<QMenu*>(QStringLiteral("viewMenu"));
  QAction* toolBarShown = toolBar_->toggleViewAction();
  toolBarShown->setText(QStringLiteral("ツールバー(&T)"));
  toolBarShown->setStatusTip(QStringLiteral("ツールバーの表示/非表示を切り替え"));
  show->addAction(toolBarShown);
  QAction* statusShown = show->addAction(QStringLiteral("ステータスバー(&S)"));
  statusShown->setCheckable(true);
  statusShown->setChecked(true);
  statusShown->setStatusTip(QStringLiteral("ステータスバーの表示/非表示を切り替え"));
  connect(statusShown, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  show->addSeparator();
  show->addAction(action(CommandId::Settings));
}

void CMainFrame::CreateStatusBar() {
  // X11 tells Qt nothing of the keyboard's lock keys: no indicator panes.
  watchLabel_ = new QLabel(this);
  watchLabel_->setMinimumWidth(260);
  statusBar()->addWidget(watchLabel_, 1);
  statusBar()->addWidget(new QLabel(this), 1);
  // One text at a time: a command's prompt while the pointer rests on it,
  // the watch message again once it leaves.
  connect(statusBar(), &QStatusBar::messageChanged, watchLabel_,
          [this](const QString& prompt) { watchLabel_->setVisible(prompt.isEmpty()); });
}

QAction* CMainFrame::MakeContextAction(CommandId id, const QString& text, bool withIcon) {
  QAction* command = action(id);
  auto* item = new QAction(text, this);
  item->setData(command->data());
  item->setStatusTip(command->statusTip());
  item->setEnabled(command->isEnabled());
  if (withIcon) {
    item->setIcon(command->icon());
    item->setIconVisibleInMenu(true);
  }
  connect(command, &QAction::enabledChanged, item, &QAction::setEnabled);
  connect(item, &QAction::triggered, command, &QAction::trigger);
  return item;
}

void CMainFrame::CreateContextMenu() {
  // The pop-up names the list commands shortly, and only its add and delete
  // show an icon.
  auto* menu = new QMenu(this);
  menu->addAction(MakeContextAction(CommandId::Add, QStringLiteral("追加(&A)"), true));
  menu->addAction(MakeContextAction(CommandId::Delete, QStringLiteral("削除(&D)"), true));
  menu->addAction(MakeContextAction(CommandId::Edit, QStringLiteral("編集(&E)"), false));
  menu->addSeparator();
  for (CommandId id : {CommandId::Copy, CommandId::Cut, CommandId::Paste})
    menu->addAction(action(id));
  view_->SetContextMenu(menu);
}

void CMainFrame::UpdateActions() {
  const MonitorStateValue state = MonitorState;
  for (auto& [id, item] : actions_) {
    if (id == CommandId::Stop)
      item->setEnabled(state == MonitorStateValue::Running);
    else if (IdleOnly(id))
      item->setEnabled(state == MonitorStateValue::Idle);
  }
}

QString CMainFrame::watchMessage() const {
  return watchLabel_->text();
}

void CMainFrame::OpenHelp() {
  const QUrl page = HelpPageUrl();
  if (UrlOpener::Open(page)) return;
  // Without a browser the user can still open the page by hand.
  Ask(services_.prompt, UiText(Msg::HelpNotOpened).arg(page.toLocalFile()),
      UiText(Msg::CaptionError), PromptIcon::Error);
}

void CMainFrame::OpenAbout() {
  CAboutBox about(this);
  about.exec();
}

void CMainFrame::ExitCommand() {
  if (MonitorState != MonitorStateValue::Idle) return;
  if (view_->listState().modified &&
      services_.prompt.Show(Text(Msg::ListExitWithoutSaving), Text(Msg::CaptionConfirm),
                            PromptIcon::Question, PromptButtons::YesNo) != PromptAnswer::Yes)
    return;
  emit exitConfirmed();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (closeAllowed_) return QMainWindow::closeEvent(event);
  event->ignore();
  const QString text = MonitorState == MonitorStateValue::Idle
                           ? QStringLiteral(
                                 "ツールバーの[終了]、あるいは[ファイル][アプリケーションの終了]"
                                 "より終了してください。")
                           : QStringLiteral("監視を停止してから終了してください。");
  Ask(services_.prompt, text, UiText(Msg::CaptionCaution), PromptIcon::Exclamation);
}

}  // namespace tarnwick
