#include "ui/FilesPanel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>

#include "engine/Trailer.h"
#include "platform/Utility.h"
#include "settings/KZVConfig.h"
#include "ui/FileListView.h"
#include "ui/GuiUtility.h"
#include "ui/MainLook.h"
#include "ui/MainTexts.h"
#include "ui/OruButton.h"

namespace ui {

namespace {

// The message hook of the application: sees every event before it reaches its receiver.
class TAppMessageHook final : public QObject {
public:
    TAppMessageHook(QObject* parent, std::function<bool(QObject*, QEvent*)> hook)
        : QObject(parent), hook_(std::move(hook)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return hook_(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> hook_;
};

}  // namespace

TFilesPanel::TFilesPanel(const TMainTexts& texts, QWidget* parent) : QWidget(parent), texts_(texts) {
    Place(this, "pnlFiles", {8, 84, 672, 205}, kAnchorsAll);
    btnAdd = ImageButton(this, "btnAdd", QStringLiteral("tool_add"), {52, 14, 26, 28}, kLeftTop);
    btnDelete = ImageButton(this, "btnDelete", QStringLiteral("tool_delete"), {52, 42, 26, 28}, kLeftTop);
    btnClear = ImageButton(this, "btnClear", QStringLiteral("tool_clear"), {52, 70, 26, 28}, kLeftTop);
    btnRefresh = ImageButton(this, "btnRefresh", QStringLiteral("tool_refresh"), {52, 98, 26, 28}, kLeftTop);

    model_ = new TFileListModel(this);
    lvFiles = Place(new TFileListView(this), "lvFiles", {84, 16, 553, 177}, kAnchorsAll);
    lvFiles->setModel(model_);
    lvFiles->setRootIsDecorated(false);
    lvFiles->setUniformRowHeights(true);
    lvFiles->setItemsExpandable(false);
    lvFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFiles->setAllColumnsShowFocus(true);
    lvFiles->setFrameShape(QFrame::NoFrame);
    lvFiles->setTextElideMode(Qt::ElideMiddle);
    lvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    lvFiles->setAcceptDrops(true);
    lvFiles->header()->setSectionsMovable(false);
    lvFiles->header()->setSectionResizeMode(ColumnIndex(Column::State), QHeaderView::Fixed);
    lvFiles->header()->setMinimumSectionSize(20);
    lvFiles->header()->resizeSection(ColumnIndex(Column::State), 20);
    lvFiles->header()->resizeSection(ColumnIndex(Column::Path), 500);
    lvFiles->header()->setStretchLastSection(true);
    {
        // The selection stays visible when the list loses the focus.
        QPalette list = lvFiles->palette();
        list.setColor(QPalette::Base, Qt::white);
        list.setColor(QPalette::Inactive, QPalette::Highlight,
                      list.color(QPalette::Active, QPalette::Highlight));
        list.setColor(QPalette::Inactive, QPalette::HighlightedText,
                      list.color(QPalette::Active, QPalette::HighlightedText));
        lvFiles->setPalette(list);
    }
    lvFiles->HintText = [this] { return texts_.DragFile; };

    pmListview = MakeMenu("pmListview", this);
    pmiOpen = pmListview->addAction(QString());
    pmiOpen->setObjectName(QStringLiteral("pmiOpen"));
    pmiLocate = pmListview->addAction(QString());
    pmiLocate->setObjectName(QStringLiteral("pmiLocate"));

    connect(btnAdd, &TOruButton::clicked, this, [this] { btnAddClick(btnAdd); });
    connect(btnDelete, &TOruButton::clicked, this, &TFilesPanel::btnDeleteClick);
    connect(btnClear, &TOruButton::clicked, this, &TFilesPanel::btnClearClick);
    connect(btnRefresh, &TOruButton::clicked, this, &TFilesPanel::btnRefreshClick);
    connect(lvFiles, &QAbstractItemView::doubleClicked, this, &TFilesPanel::lvFilesDblClick);
    connect(lvFiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        pmListviewPopup();
        pmListview->popup(lvFiles->viewport()->mapToGlobal(pos));
    });
    connect(pmiOpen, &QAction::triggered, this, &TFilesPanel::pmiOpenClick);
    connect(pmiLocate, &QAction::triggered, this, &TFilesPanel::pmiLocateClick);
}

TFilesPanel::~TFilesPanel() {
    if (appHook_) qApp->removeEventFilter(appHook_);
}

void TFilesPanel::TakeDrops() {
    if (appHook_) return;
    appHook_ = new TAppMessageHook(
        this, [this](QObject* receiver, QEvent* event) { return AppMessage(receiver, event); });
    qApp->installEventFilter(appHook_);
}

void TFilesPanel::BuildFileFilter() {
    QString filter = texts_.FileFilter;
    filter.replace(QStringLiteral("%s"), settings::Settings->GetVideoMask());
    fileFilter_ = ToQtFilter(filter);
}

void TFilesPanel::ApplyTexts() {
    BuildFileFilter();
    if (model_->Count() == 0) lvFiles->viewport()->update();  // the hint in the new language
}

void TFilesPanel::AddPaths(const QStringList& paths) {
    odFilesList = VideosAmong(paths);
    if (!odFilesList.isEmpty()) btnAddClick(nullptr);
}

void TFilesPanel::btnAddClick(QObject* sender) {
    if (sender == btnAdd) {
        std::optional<QStringList> chosen = OpenFilesDialog(window(), fileFilter_);
        if (!chosen) return;
        odFilesList = std::move(*chosen);
    }
    std::vector<TFileRow> rows;
    rows.reserve(static_cast<std::size_t>(odFilesList.size()));
    QString failure;
    for (const QString& path : odFilesList) {
        if (running_) {
            rows.push_back({path});  // tested when the run has ended
            continue;
        }
        try {
            const bool encrypted = engine::IsEncryptedFile(platform::ToLocal8Bit(path));
            rows.push_back({path, encrypted ? kImageEncrypted : kImageNone});
        } catch (const std::exception& e) {
            // The rest of the batch is not added; the rows before the file stay.
            QString reason = platform::FromLocal8Bit(e.what());
            if (const QString prefix = path + QStringLiteral(": "); reason.startsWith(prefix))
                reason = reason.mid(prefix.size());
            failure = QStringLiteral("Cannot open the file \"%1\": %2").arg(path, reason);
            break;
        }
    }
    if (!rows.empty()) {
        model_->Append(std::move(rows));
        FListChanged = true;
    }
    if (!failure.isEmpty()) MsgBox(failure, kMbOk, kIconFailure);
}

void TFilesPanel::AskForFiles() {
    btnAddClick(btnAdd);
}

void TFilesPanel::btnDeleteClick() {
    std::vector<int> rows;
    for (const QModelIndex& index : lvFiles->selectionModel()->selectedRows()) rows.push_back(index.row());
    model_->Remove(std::move(rows));
    FListChanged = true;
}

void TFilesPanel::btnClearClick() {
    model_->Clear();
    FListChanged = true;
}

void TFilesPanel::btnRefreshClick() {
    for (int row = 0; row < model_->Count(); ++row) RefreshItemState(row);
}

void TFilesPanel::RefreshItemState(int index) {
    if (index < 0 || index >= model_->Count()) return;
    int image = kImageUnreadable;
    try {
        image = engine::IsEncryptedFile(platform::ToLocal8Bit(model_->Path(index))) ? kImageEncrypted
                                                                                    : kImageNone;
    } catch (const std::exception&) {
        // Gone, held by another program, or no access: the row says it cannot be read.
    }
    model_->SetImage(index, image);
}

int TFilesPanel::FocusedRow() const {
    const QModelIndex current = lvFiles->currentIndex();
    return current.isValid() && current.row() < model_->Count() ? current.row() : -1;
}

int TFilesPanel::FocusedSelectedRow() const {
    const int row = FocusedRow();
    return row >= 0 && lvFiles->selectionModel()->isRowSelected(row, {}) ? row : -1;
}

void TFilesPanel::pmListviewPopup() {
    const bool enabled = FocusedSelectedRow() >= 0;
    pmiLocate->setEnabled(enabled);
    pmiOpen->setEnabled(enabled);
}

void TFilesPanel::lvFilesDblClick() {
    if (const int row = FocusedSelectedRow(); row >= 0) RunFile(model_->Path(row));
}

void TFilesPanel::pmiOpenClick() {
    if (const int row = FocusedRow(); row >= 0) RunFile(model_->Path(row));
}

void TFilesPanel::pmiLocateClick() {
    if (const int row = FocusedRow(); row >= 0) OpenFileDir(model_->Path(row), false);
}

bool TFilesPanel::AppMessage(QObject* receiver, QEvent* event) {
    if (receiver != lvFiles->viewport()) return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList dropped;
            for (const QUrl& url : drop->mimeData()->urls())
                if (const QString path = url.toLocalFile(); !path.isEmpty()) dropped << path;  // whole
            odFilesList = VideosAmong(dropped);
            drop->acceptProposedAction();
            // Added once the drop has ended, so that an error box never holds the file manager's drag.
            if (!odFilesList.isEmpty())
                QMetaObject::invokeMethod(
                    this, [this] { btnAddClick(nullptr); }, Qt::QueuedConnection);
            return true;
        }
        default:
            return false;
    }
}

std::vector<std::string> TFilesPanel::BeginRun() {
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(model_->Count()));
    QHash<QString, int> last;
    last.reserve(model_->Count());
    for (int row = 0; row < model_->Count(); ++row) {
        files.push_back(platform::ToLocal8Bit(model_->Path(row)));
        last.insert(model_->Path(row), row);
    }
    laterAgain_.assign(static_cast<std::size_t>(model_->Count()), false);
    for (int row = 0; row < model_->Count(); ++row)
        laterAgain_[static_cast<std::size_t>(row)] = last.value(model_->Path(row)) != row;
    refreshAtEnd_.clear();
    FListChanged = false;
    running_ = true;
    runOverList_ = true;
    return files;
}

void TFilesPanel::BeginFolderRun() {
    running_ = true;
    runOverList_ = false;
}

bool TFilesPanel::RowsAreTheJobs(std::size_t count) const {
    return runOverList_ && !FListChanged && static_cast<std::size_t>(model_->Count()) == count;
}

void TFilesPanel::FileHandled(std::size_t index, std::size_t count) {
    if (!RowsAreTheJobs(count) || index >= laterAgain_.size()) return;
    if (laterAgain_[index])
        refreshAtEnd_.push_back(static_cast<int>(index));
    else
        RefreshItemState(static_cast<int>(index));
}

void TFilesPanel::RunEnded(const std::vector<engine::TFailedFile>& failed) {
    // Rows that followed the job file by file need only the files it listed twice; after a change of
    // the list during the run, or a run over folders, every row is tested again.
    if (RowsAreTheJobs(laterAgain_.size())) {
        for (int row : refreshAtEnd_) RefreshItemState(row);
    } else {
        btnRefreshClick();
    }
    running_ = false;
    runOverList_ = false;
    refreshAtEnd_.clear();
    laterAgain_.clear();
    if (failed.empty()) return;
    QHash<QString, QString> why;
    for (const engine::TFailedFile& file : failed)
        why.insert(platform::FromLocal8Bit(file.Path), texts_.FailureReason(file));
    for (int row = 0; row < model_->Count(); ++row)
        if (const auto found = why.constFind(model_->Path(row)); found != why.cend())
            model_->SetFailure(row, *found);
}

QStringList VideosAmong(const QStringList& paths) {
    QStringList videos;
    // The C locale (no LANG) collates by bytes alone; English collation stands in for it there.
    const QLocale system = QLocale::system();
    QCollator byName(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
    byName.setNumericMode(true);  // "clip 2" before "clip 10"
    byName.setCaseSensitivity(Qt::CaseInsensitive);
    for (const QString& path : paths) {
        if (const QFileInfo info(path); info.isDir()) {
            QStringList inFolder;
            for (const QFileInfo& file : QDir(path).entryInfoList(QDir::Files | QDir::Hidden))
                if (settings::Settings->IsVideoFile(file.filePath())) inFolder << file.filePath();
            std::sort(inFolder.begin(), inFolder.end(), byName);
            videos << inFolder;
        } else if (settings::Settings->IsVideoFile(path)) {
            videos << path;
        }
    }
    return videos;
}

}  // namespace ui
