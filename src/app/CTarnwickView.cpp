#include "app/CTarnwickView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>
#include <iterator>

#include "app/Cp932Text.h"
#include "app/DownRowDelegate.h"
#include "app/GuiPrompt.h"
#include "dialogs/CAddComputerDlg.h"
#include "dialogs/CEditComputerDlg.h"
#include "dialogs/CSettingsSheet.h"
#include "engine/AlertDispatcher.h"
#include "engine/CCheckThread.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "platform/Messages.h"
#include "settings/ClipboardRecord.h"
#include "settings/ListFile.h"
#include "settings/ListPreload.h"

namespace tarnwick {
namespace {

// Extra pixels beside a heading's text width, per column.
struct ColumnWidth {
  Field heading;  // whose text width counts
  int margin;
  bool textWidth;  // false: `margin` is the whole width
};

constexpr ColumnWidth kColumnWidths[kFieldCount] = {
    {Field::ComputerName, 40, true},   {Field::IpAddress, 40, true},
    {Field::Status, 15, true},         {Field::CheckService, 20, true},
    {Field::Port, 12, true},           {Field::LastUpTime, 35, true},
    {Field::LastDownTime, 35, true},   {Field::ByMail, 32, false},
    {Field::ByNetsend, 32, false},     {Field::ByEventlog, 32, false},
    {Field::DownProgram, 70, false},   {Field::RestoreProgram, 70, false},
    {Field::LastCheckTime, 35, false}, {Field::DownProgram, 75, true},
    {Field::RestoreProgram, 35, true},
};

QString WatchingText() {
  return QStringLiteral("コンピュータを監視しています.....");
}
QString StoppingText() {
  return QStringLiteral("監視を停止しています.....");
}

void ShowCaution(UserPrompt& prompt, Msg id) {
  prompt.Show(Text(id), Text(Msg::CaptionCaution), PromptIcon::Exclamation);
}

// The keys of copy, cut and paste. While a watch runs their commands are
// off, and the keys must not reach the table, which would copy a cell.
bool IsClipboardKey(const QKeyEvent& event, Qt::KeyboardModifiers modifiers) {
  static const QKeyCombination kKeys[] = {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert,
                                          Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete,
                                          Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert};
  const QKeyCombination pressed(modifiers, static_cast<Qt::Key>(event.key()));
  return std::find(std::begin(kKeys), std::end(kKeys), pressed) != std::end(kKeys) ||
         event.matches(QKeySequence::Copy) || event.matches(QKeySequence::Cut) ||
         event.matches(QKeySequence::Paste);
}

QString FieldName(std::size_t field) {
  const QString heading = FromCp932(ColumnHeading(static_cast<Field>(field)));
  return heading.isEmpty() ? UiText(Msg::ListColumnNumber).arg(field + 1) : heading;
}

}  // namespace

CTarnwickView::CTarnwickView(AppServices services, QWidget* parent)
    : QTableView(parent), services_(std::move(services)), model_(this), beeper_(this) {
  setModel(&model_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setIconSize(QSize(16, 16));
  setItemDelegate(new DownRowDelegate(this));
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The selection stays visible when the list loses the focus.
  QPalette colours = palette();
  colours.setColor(QPalette::Inactive, QPalette::Highlight,
                   colours.color(QPalette::Active, QPalette::Highlight));
  colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   colours.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(colours);
  StopRequested = 0;
}

CTarnwickView::~CTarnwickView() {
  // The thread's destructor asks a running cycle to stop and waits for it.
  watch_.reset();
}

bool CTarnwickView::Idle() {
  return MonitorState == MonitorStateValue::Idle;
}

int CTarnwickView::SelectedRow() const {
  int highest = -1;
  for (const QModelIndex& index : selectionModel()->selectedRows())
    highest = std::max(highest, index.row());
  return highest;
}

void CTarnwickView::SelectRow(int row) {
  if (row < 0 || row >= model_.rowCount()) {
    clearSelection();
    return;
  }
  const QModelIndex index = model_.index(row, 0);
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

void CTarnwickView::FitColumns() {
  const QFontMetrics metrics(horizontalHeader()->font());
  for (std::size_t column = 0; column < kFieldCount; ++column) {
    const ColumnWidth& width = kColumnWidths[column];
    int pixels = width.margin;
    if (width.textWidth)
      pixels += metrics.horizontalAdvance(FromCp932(ColumnHeading(width.heading)));
    setColumnWidth(static_cast<int>(column), pixels);
  }
}

void CTarnwickView::Preload() {
  ListPreload preload = PreloadListFile(services_.settings, services_.prompt);
  if (!preload.loaded) return;
  model_.ReplaceAll(std::move(preload.rows));
  if (preload.startWatch) StartWatch();
}

void CTarnwickView::AddComputer() {
  if (!Idle()) return;
  CAddComputerDlg dialog(model_, listState_, services_.settings, services_.prompt, this);
  dialog.exec();
}

void CTarnwickView::DeleteSelected() {
  if (!Idle()) return;
  const int row = SelectedRow();
  const int count = model_.rowCount();
  if (row < 0 || count == 0) return;
  // The last row hands its selection to the one before it; any other row
  // hands it to the row that moves up into its place.
  model_.RemoveEntry(row);
  SelectRow(row == count - 1 ? row - 1 : row);
  listState_.modified = true;
}

void CTarnwickView::EditSelected() {
  if (!Idle()) return;
  const int row = SelectedRow();
  if (row < 0) return;
  CEditComputerDlg dialog(model_, row, listState_, services_.settings, services_.prompt, this);
  dialog.exec();
}

void CTarnwickView::CopySelected() {
  if (!Idle()) return;
  const int row = SelectedRow();
  if (row < 0) return;
  QGuiApplication::clipboard()->setText(FromCp932(FormatClipboardRecord(model_.Entry(row))));
}

void CTarnwickView::CutSelected() {
  if (!Idle() || SelectedRow() < 0) return;
  CopySelected();
  DeleteSelected();
}

void CTarnwickView::Paste() {
  if (!Idle()) return;
  if (model_.rowCount() >= services_.settings.MaxNumOfComputer) {
    ShowCaution(services_.prompt, Msg::TooManyComputers);
    return;
  }
  int position = SelectedRow();
  if (position < 0 && model_.rowCount() > 0) return;
  position = std::max(position, 0);
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty() || !RecordFitsCp932(text)) return;
  const std::optional<ComputerEntry> row = ParseClipboardRecord(ToCp932(text));
  if (!row) return;
  model_.InsertEntry(position, *row);
  SelectRow(position);
  listState_.modified = true;
}

bool CTarnwickView::RecordFitsCp932(const QString& text) {
  // Other text is not ours: the paste ignores it without a word.
  if (!text.startsWith(QStringLiteral("ZNRQ,")) || FitsCp932(text)) return true;
  const QStringList pieces = text.split(QLatin1Char(','));
  for (std::size_t field = 0; field < kFieldCount; ++field) {
    const qsizetype piece = static_cast<qsizetype>(field) + 1;
    if (piece < pieces.size() && !FitsCp932(pieces[piece])) {
      Ask(services_.prompt, UiText(Msg::PasteNotCp932).arg(FieldName(field)),
          UiText(Msg::CaptionCaution), PromptIcon::Exclamation);
      return false;
    }
  }
  return true;
}

void CTarnwickView::StartWatch() {
  if (!Idle()) return;
  if (!PrepareRowsForWatch(model_.rows(), services_.prompt)) return;
  notifier_ = services_.makeNotifier();
  watch_ = std::make_unique<CCheckThread>(
      CheckCycleServices{services_.settings, model_.rows(), *notifier_, services_.prompt, beeper_,
                         services_.clock, services_.sleeper, services_.logFolder},
      [this](RunningLog& log, const AppSettings& watchSettings) {
        return std::make_unique<AlertDispatcher>(watchSettings, *notifier_, log, services_.sleeper);
      });
  // Told on the cycle's thread; the end is handled on this one.
  watch_->SetEndHandler([this] {
    QMetaObject::invokeMethod(
        this, [this] { FinishWatch(); }, Qt::QueuedConnection);
  });
  if (!watch_->Start()) {
    services_.prompt.Show(Text(Msg::ThreadStartFailed), Text(Msg::CaptionError), PromptIcon::Error);
    std::exit(1);
  }
  emit watchMessage(WatchingText());
  emit stateChanged();
}

void CTarnwickView::StopWatch() {
  if (!RequestStop()) return;
  emit watchMessage(StoppingText());
  emit stateChanged();
}

void CTarnwickView::FinishWatch() {
  if (!Idle() || !watch_) return;
  watch_->Join();
  watch_.reset();
  notifier_.reset();
  emit watchMessage(QString());
  emit stateChanged();
}

void CTarnwickView::StopAndWait() {
  if (!watch_) return;
  RequestStop();
  while (!Idle())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  FinishWatch();
}

QString CTarnwickView::InitialListFileName() const {
  return listState_.currentFile.empty() ? QStringLiteral("*.ls2")
                                        : QString::fromStdString(listState_.currentFile);
}

void CTarnwickView::SaveList() {
  if (!Idle()) return;
  if (model_.rowCount() == 0) {
    ShowCaution(services_.prompt, Msg::ListNothingToSave);
    return;
  }
  const QString path = services_.chooseListFile(this, true, InitialListFileName());
  if (path.isEmpty()) return;
  const std::string file = path.toStdString();
  if (!WriteListFile(file, model_.Entries(), services_.prompt)) return;
  listState_.modified = false;
  listState_.currentFile = file;
}

void CTarnwickView::LoadList() {
  if (!Idle()) return;
  if (listState_.modified &&
      services_.prompt.Show(Text(Msg::ListSaveBeforeLoad), Text(Msg::CaptionConfirm),
                            PromptIcon::Question, PromptButtons::YesNo) == PromptAnswer::Yes)
    SaveList();
  const QString path = services_.chooseListFile(this, false, InitialListFileName());
  if (path.isEmpty()) return;
  const std::string file = path.toStdString();
  // A file that cannot be read leaves the list, its flag and its file name
  // as they were: the user loses nothing to a wrong choice.
  ListReadResult read = ReadListFile(file, services_.prompt);
  if (!read.ok()) return;
  model_.ReplaceAll(std::move(read.rows));
  listState_.modified = false;
  listState_.currentFile = file;
}

void CTarnwickView::OpenSettings() {
  if (!Idle()) return;
  CSettingsSheet sheet(services_.settings, services_.registry, services_.prompt, this);
  sheet.exec();
}

void CTarnwickView::keyPressEvent(QKeyEvent* event) {
  // The keypad's Insert and Delete count as the others.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool plain = modifiers == Qt::NoModifier;
  if (plain && event->key() == Qt::Key_Insert) return AddComputer();
  if (plain && event->key() == Qt::Key_Delete) return DeleteSelected();
  if (IsClipboardKey(*event, modifiers)) return event->accept();
  QTableView::keyPressEvent(event);
}

void CTarnwickView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  EditSelected();
}

void CTarnwickView::contextMenuEvent(QContextMenuEvent* event) {
  if (!Idle()) return;
  if (contextMenu_) contextMenu_->exec(event->globalPos());
}

}  // namespace tarnwick
