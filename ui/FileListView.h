#pragma once
// The main window's file list: one row per file in the order added, a state image in the first column
// (encrypted, unreadable or none) and the path in the second; and its view, which shows a grey hint
// while the list is empty.

#include <QAbstractTableModel>
#include <QPixmap>
#include <QTreeView>

#include <functional>
#include <vector>

namespace ui {

// State images of a row.
inline constexpr int kImageNone = -1;
inline constexpr int kImageEncrypted = 0;
inline constexpr int kImageUnreadable = 1;

// The list's columns, left to right.
enum class Column : int {
    State,  // the state image; no caption
    Path,   // the file's path, under the one caption
    Count   // not a column: how many there are
};

// A column as the model's section number.
constexpr int ColumnIndex(Column column) noexcept {
    return static_cast<int>(column);
}

struct TFileRow {
    QString Path;
    int Image = kImageNone;
    QString Problem = {};  // why the last run failed on the file; empty when it did not
};

class TFileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends the rows at the end in one step.
    void Append(std::vector<TFileRow> rows);
    // Removes the rows with these numbers (any order, duplicates allowed).
    void Remove(std::vector<int> rows);
    void Clear();

    const QString& Path(int row) const { return rows_.at(static_cast<std::size_t>(row)).Path; }
    int Image(int row) const { return rows_.at(static_cast<std::size_t>(row)).Image; }
    // The row's state image; a failure it showed goes.
    void SetImage(int row, int image);
    // The failure mark, and `problem` in the row's tool tip.
    void SetFailure(int row, const QString& problem);
    const QString& Problem(int row) const { return rows_.at(static_cast<std::size_t>(row)).Problem; }
    int Count() const noexcept { return static_cast<int>(rows_.size()); }

    void SetColumnCaption(const QString& caption);
    const QString& ColumnCaption() const noexcept { return columnCaption_; }

private:
    void SetState(int row, int image, const QString& problem);

    std::vector<TFileRow> rows_;
    QPixmap images_[2];
    QPixmap blank_;
    QString columnCaption_ = QStringLiteral("File");
};

class TFileListView : public QTreeView {
    Q_OBJECT

public:
    explicit TFileListView(QWidget* parent = nullptr);

    // The hint's text, asked at every painting so that it follows the language.
    std::function<QString()> HintText;

    // Where the hint of an empty list is drawn in the visible area `area`: centred across, its top
    // edge on the vertical middle.
    QRect HintRect(const QRect& area) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
