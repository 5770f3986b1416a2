#include "app/CTarnwickView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>
#include <iterator>

#include "app/DownRowDelegate.h"
#include "dialogs/CAddComputerDlg.h"
#include "dialogs/CEditComputerDlg.h"
#include "dialogs/CSettingsSheet.h"
#include "engine/WatchState.h"
#include "gui/Cp932Text.h"
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

}  // namespace

CTarnwickView::CTarnwickView(AppServices services, QWidget* parent)
    : QTableView(parent),
      services_(std::move(services)),
      model_(this),
      clipboard_(services_, *this),
      listFile_(services_, model_, listState_, this),
      watch_(services_, model_, this) {
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
  connect(&watch_, &WatchControl::stateChanged, this, &CTarnwickView::stateChanged);
  connect(&watch_, &WatchControl::watchMessage, this, &CTarnwickView::watchMessage);
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
