#include "gui/ComputerListModel.h"

#include <QColor>

#include "gui/Cp932Text.h"

namespace tarnwick {
namespace {

constexpr int kColumns = static_cast<int>(kFieldCount);
constexpr int kFirstIconColumn = static_cast<int>(Field::ByMail);
constexpr int kLastIconColumn = static_cast<int>(Field::ByEventlog);
// About two frames of a display: changes show at once to a person, and a
// pass over many rows is not slowed by a repaint per row.
constexpr int kRepaintDelayMs = 30;

Field FieldOf(int column) {
  return static_cast<Field>(column);
}

bool IsIconColumn(int column) {
  return column >= kFirstIconColumn && column <= kLastIconColumn;
}

}  // namespace

ComputerListModel::ComputerListModel(QObject* parent)
    : QAbstractTableModel(parent),
      rows_([this] { QMetaObject::invokeMethod(this, "ScheduleRepaint", Qt::QueuedConnection); }),
      rowIcon_(QStringLiteral(":/icons/computer.svg")),
      headerIcons_{QIcon(QStringLiteral(":/icons/mail.svg")),
                   QIcon(QStringLiteral(":/icons/netsend.svg")),
                   QIcon(QStringLiteral(":/icons/eventlog.svg"))} {
  repaint_.setSingleShot(true);
  repaint_.setInterval(kRepaintDelayMs);
  connect(&repaint_, &QTimer::timeout, this, &ComputerListModel::ShowChangedRows);
}

void ComputerListModel::ScheduleRepaint() {
  if (!repaint_.isActive()) repaint_.start();
}

int ComputerListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_.RowCount();
}

int ComputerListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant ComputerListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row();
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return FromCp932(rows_.StoredField(row, FieldOf(column)));
    case Qt::DecorationRole:
      return column == 0 ? QVariant(rowIcon_) : QVariant();
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
      // A down computer is white on red; every other row keeps the list's colours.
      if (rows_.StoredState(row) != RowState::Down) return {};
      return role == Qt::BackgroundRole ? QColor(255, 0, 0) : QColor(Qt::white);
    }
    case Qt::TextAlignmentRole:
      return IsIconColumn(column) ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant ComputerListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  if (role == Qt::DisplayRole) return FromCp932(ColumnHeading(FieldOf(section)));
  if (role == Qt::DecorationRole && IsIconColumn(section))
    return headerIcons_[section - kFirstIconColumn];
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

ComputerEntry ComputerListModel::Entry(int row) const {
  ComputerEntry entry;
  for (std::size_t i = 0; i < kFieldCount; ++i)
    entry.fields[i] = rows_.StoredField(row, static_cast<Field>(i));
  return entry;
}

std::vector<ComputerEntry> ComputerListModel::Entries() const {
  return rows_.Snapshot();
}

std::string ComputerListModel::StoredField(int row, Field field) const {
  return rows_.StoredField(row, field);
}

void ComputerListModel::InsertEntry(int row, const ComputerEntry& entry) {
  if (row < 0 || row > rowCount()) return;
  beginInsertRows({}, row, row);
  rows_.InsertRow(row, entry);
  endInsertRows();
}

void ComputerListModel::AppendEntry(const ComputerEntry& entry) {
  InsertEntry(rowCount(), entry);
}

void ComputerListModel::RemoveEntry(int row) {
  if (row < 0 || row >= rowCount()) return;
  beginRemoveRows({}, row, row);
  rows_.RemoveRow(row);
  endRemoveRows();
}

void ComputerListModel::ReplaceEntry(int row, const ComputerEntry& entry) {
  if (row < 0 || row >= rowCount()) return;
  rows_.ReplaceRow(row, entry);
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

void ComputerListModel::ReplaceAll(std::vector<ComputerEntry> entries) {
  beginResetModel();
  rows_.ReplaceAll(std::move(entries));
  endResetModel();
}

void ComputerListModel::ShowChangedRows() {
  const auto changed = rows_.TakeChangedRows();
  if (!changed) return;
  const int last = std::min(changed->second, rowCount() - 1);
  if (changed->first > last) return;
  emit dataChanged(index(changed->first, 0), index(last, kColumns - 1));
}

}  // namespace tarnwick
