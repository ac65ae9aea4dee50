#include "ui/FileListView.h"

#include <QHeaderView>
#include <QPainter>

#include <algorithm>

#include "ui/SkinImage.h"

namespace ui {

namespace {

QFont hintFont(QFont base) {
    base.setPointSize(12);
    return base;
}

}  // namespace

TFileListModel::TFileListModel(QObject* parent) : QAbstractTableModel(parent) {
    images_[kImageEncrypted] = SkinPixmap(QStringLiteral("state_encrypted"));
    images_[kImageUnreadable] = SkinPixmap(QStringLiteral("state_error"));
    // Rows without a state show a clear picture of the same size, so that every row has one height
    // from the start rather than growing when the first state appears.
    blank_ = QPixmap(images_[kImageEncrypted].size());
    blank_.setDevicePixelRatio(images_[kImageEncrypted].devicePixelRatio());
    blank_.fill(Qt::transparent);
}

int TFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnIndex(Column::Count);
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) return {};
    const TFileRow& row = rows_[static_cast<std::size_t>(index.row())];
    // A failed file's row says why in its tool tip, over both columns.
    if (role == Qt::ToolTipRole)
        return row.Problem.isEmpty() ? row.Path : row.Path + QLatin1Char('\n') + row.Problem;
    if (index.column() == ColumnIndex(Column::State)) {
        if (role != Qt::DecorationRole) return {};
        return row.Image == kImageEncrypted || row.Image == kImageUnreadable ? images_[row.Image] : blank_;
    }
    if (role == Qt::DisplayRole) return row.Path;
    return {};
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // The image column has no caption.
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == ColumnIndex(Column::Path) ? columnCaption_ : QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void TFileListModel::Append(std::vector<TFileRow> rows) {
    if (rows.empty()) return;
    beginInsertRows({}, Count(), Count() + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void TFileListModel::Remove(std::vector<int> rows) {
    std::erase_if(rows, [this](int row) { return row < 0 || row >= Count(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty()) return;
    // Contiguous runs, last first, so the numbers of the runs still to go stay valid.
    std::vector<std::pair<int, int>> runs;
    for (int row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    }
    // Many scattered runs: one rebuild is cheaper than a notification per run.
    if (runs.size() > 64) {
        beginResetModel();
        std::vector<TFileRow> kept;
        kept.reserve(rows_.size() - rows.size());
        std::size_t next = 0;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (next < rows.size() && static_cast<std::size_t>(rows[next]) == i) {
                ++next;
                continue;
            }
            kept.push_back(std::move(rows_[i]));
        }
        rows_ = std::move(kept);
        endResetModel();
        return;
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        rows_.erase(rows_.begin() + run->first, rows_.begin() + run->second + 1);
        endRemoveRows();
    }
}

void TFileListModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void TFileListModel::SetImage(int row, int image) {
    SetState(row, image, {});
}

void TFileListModel::SetFailure(int row, const QString& problem) {
    SetState(row, kImageUnreadable, problem);
}

void TFileListModel::SetState(int row, int image, const QString& problem) {
    if (row < 0 || row >= Count()) return;
    TFileRow& target = rows_[static_cast<std::size_t>(row)];
    if (target.Image == image && target.Problem == problem) return;
    target.Image = image;
    target.Problem = problem;
    emit dataChanged(index(row, 0), index(row, ColumnIndex(Column::Count) - 1),
                     {Qt::DecorationRole, Qt::ToolTipRole});
}

void TFileListModel::SetColumnCaption(const QString& caption) {
    columnCaption_ = caption;
    emit headerDataChanged(Qt::Horizontal, ColumnIndex(Column::Path), ColumnIndex(Column::Path));
}

TFileListView::TFileListView(QWidget* parent) : QTreeView(parent) {}

QRect TFileListView::HintRect(const QRect& area) const {
    const QString text = HintText ? HintText() : QString();
    const QFontMetrics metrics(hintFont(font()));
    const int width = metrics.horizontalAdvance(text);
    const int x = area.left() + (area.width() - width) / 2;
    const int y = area.top() + area.height() / 2;
    return {x, y, width, metrics.height()};
}

void TFileListView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (model() == nullptr || model()->rowCount() > 0 || !HintText) return;
    const QRect area = viewport()->rect();
    QPainter painter(viewport());
    painter.setClipRect(area);
    painter.setFont(hintFont(font()));
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(HintRect(area), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, HintText());
}

}  // namespace ui
