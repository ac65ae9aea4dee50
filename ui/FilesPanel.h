#pragma once
// The main window's Files panel: the list of files a job is to process (added by the open dialog, by a
// drop, or from a command line) with each file's state, the four tool buttons and the list's context
// menu. During a run it re-tests each row as the job is done with it.

#include <QStringList>
#include <QWidget>

#include <string>
#include <vector>

#include "engine/KZVThread.h"

class QAction;
class QMenu;

namespace ui {

class TFileListModel;
class TFileListView;
class TOruButton;
struct TMainTexts;

class TFilesPanel : public QWidget {
    Q_OBJECT

public:
    TFilesPanel(const TMainTexts& texts, QWidget* parent);
    ~TFilesPanel() override;

    const TFileListModel* Model() const noexcept { return model_; }
    // The open-file dialog's filter: the filter text with the video extensions of now.
    const QString& FileFilter() const noexcept { return fileFilter_; }
    void BuildFileFilter();
    // Starts taking drops onto the list (an application-wide hook, removed with the panel).
    void TakeDrops();
    // The videos among `paths` join the list as a drop's do.
    void AddPaths(const QStringList& paths);
    // The files chosen last, by the open dialog, a drop or a command line.
    const QStringList& ChosenFiles() const noexcept { return odFilesList; }
    // The list was changed since the last run started.
    bool ListChanged() const noexcept { return FListChanged; }
    // Re-tests row `index` and sets its state image; nothing when there is no such row.
    void RefreshItemState(int index);
    // What the tool buttons do, for the window's shortcuts: the open dialog, removing the selected
    // rows, re-testing every row.
    void AskForFiles();
    void RemoveSelected() { btnDeleteClick(); }
    void RefreshRows() { btnRefreshClick(); }
    // The language changed: the empty list's hint and the filter follow.
    void ApplyTexts();

    // --- a run ---
    // The list's paths, in order, for a job; from here on the rows follow the job.
    std::vector<std::string> BeginRun();
    // A job over folders starts. Rows added while any job runs are tested only once it has ended: a
    // file the job is still to open must not be held open by the window then.
    void BeginFolderRun();
    // The job is done with file `index` of `count`: its row shows what the file is now, unless the job
    // lists the same file again further on, or the list is no longer the job's.
    void FileHandled(std::size_t index, std::size_t count);
    // The job ended: every row shows what its file is now, and the rows of files in `failed` the
    // failure mark, with why in their tool tips.
    void RunEnded(const std::vector<engine::TFailedFile>& failed);

private:
    // With `sender` btnAdd the open dialog asks first; without, odFilesList is added as it is.
    void btnAddClick(QObject* sender);
    void btnDeleteClick();
    void btnClearClick();
    void btnRefreshClick();
    void lvFilesDblClick();
    void pmListviewPopup();
    void pmiOpenClick();
    void pmiLocateClick();
    int FocusedSelectedRow() const;
    int FocusedRow() const;
    // The application's message hook: drops onto the file list.
    bool AppMessage(QObject* receiver, QEvent* event);
    bool RowsAreTheJobs(std::size_t count) const;

    TOruButton* btnAdd = nullptr;
    TOruButton* btnDelete = nullptr;
    TOruButton* btnClear = nullptr;
    TOruButton* btnRefresh = nullptr;
    TFileListView* lvFiles = nullptr;
    QMenu* pmListview = nullptr;
    QAction* pmiOpen = nullptr;
    QAction* pmiLocate = nullptr;

    const TMainTexts& texts_;
    TFileListModel* model_ = nullptr;
    QObject* appHook_ = nullptr;
    QString fileFilter_;
    QStringList odFilesList;  // the open dialog's chosen files; a drop fills it too
    bool FListChanged = false;
    bool running_ = false;      // a run has started and not ended
    bool runOverList_ = false;  // ... over this list
    // Rows whose file the running job lists again further on: re-tested only at the end, so that the
    // window never holds a file the job is still to open.
    std::vector<bool> laterAgain_;
    std::vector<int> refreshAtEnd_;
};

// The videos among `paths` as the file list takes them, in their order: a file when its extension is
// a listed video extension (whether it exists is the list's to find out), a folder's own videos sorted
// by name as file managers sort them (not its subfolders'); nothing for anything else.
QStringList VideosAmong(const QStringList& paths);

}  // namespace ui
