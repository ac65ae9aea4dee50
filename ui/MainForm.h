#pragma once
// The main window. Upper part: the files a job is to process, either a list of files (added by the
// open dialog or dropped onto the list) or up to three directories with a shared history. Lower part:
// the key, the target choice, the run button, the progress and the summary of the last job. The job
// runs on its own thread and speaks to the window only through posted messages.

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "ui/BaseForm.h"
#include "ui/MainTexts.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QAction;

namespace engine {
class TKZVThread;
struct TJobFinished;
struct TJobError;
struct TJobProgress;
struct TJobCounts;
struct TJobFailedSize;
struct TJobSearching;
struct TJobFileProgress;
}  // namespace engine
namespace lang {
class TLanguageMenu;
}

namespace ui {

class TFileListModel;
class TFileListView;
class TLinkLabel;
class TOruButton;
class TSkinImage;

// Announces to every window that the user picked another language.
inline constexpr std::uint32_t WM_LANGCHANGED = 6429;

// The height of the band that holds the key field and its note.
inline constexpr int kKeyBandHeight = 56;
// Within this distance from the top of the title images, a drag moves the window.
inline constexpr int kMainTitleDragHeight = 26;

class TMainForm : public TBaseForm {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    // Removes the drop hook, saves the settings, and frees the job (waiting for its thread).
    ~TMainForm() override;

    void FormCreate() override;
    void AdjustForDpi() override;
    bool GetResizeBorders(TResizeBorders& borders) const override;
    // Puts the loaded language's captions, tool tips and run-time texts in place and lines the labels
    // up with them; nothing while no language is loaded.
    void ApplyLanguage() override;

    // Files mode while the file panel is shown, Directories mode while the directory panel is.
    bool FilesMode() const;
    const TFileListModel* FileList() const noexcept { return model_; }
    const QString& FileFilter() const noexcept { return fileFilter_; }
    const TMainTexts& Texts() const noexcept { return texts_; }
    bool IsJobRunning() const;
    const engine::TKZVThread* Job() const noexcept { return FJob.get(); }

    // Start-up recovery put these files back as they were before an interrupted run, and could not yet
    // apply what `notRestored` says: tells the user once, in one box, after the window is shown (at
    // once when it is shown already).
    void ShowRecoveredFiles(const QStringList& paths, const QStringList& notRestored = {});
    // Files and folders named on the command line, by this start or a later one: in Files mode, their
    // videos join the list as a drop's do (a folder gives the videos in it), once the window is shown;
    // the window comes to the front. `activationToken`: what the launcher of that start gave it, which
    // lets the window take the focus where the desktop asks for one (Wayland).
    // `unusable`: names a later start was given that no file can have; told, never added.
    void OpenPaths(const QStringList& paths, const QString& activationToken = {},
                   const QStringList& unusable = {});

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend struct TMainFormProbe;  // the window tests' view of the job bookkeeping

    // --- building, one panel each; each holds its panel's design positions ---
    void BuildTitleBar();
    void BuildFilesPanel();
    void BuildDirectoriesPanel();
    void BuildRunPanel();
    void BuildMenus();
    // Places what is laid out by the width of its text, once the English texts are in place.
    void PlaceByTexts();
    // The two columns that both panels share: the labels on the left, which line up at the longest,
    // and the fields right of them, which move right when a label needs the room.
    // `measured`: the label's width counts when the column finds its longest label.
    QLabel* InLabelColumn(QLabel* label, bool measured = true) {
        labelColumn_.push_back({label, measured});
        return label;
    }
    template <class TControl>
    TControl* InFieldColumn(TControl* field) {
        fieldColumn_.push_back(field);
        return field;
    }

    // --- files and directories ---
    void btnFilesClick();
    void btnDirectoryClick();
    // With `sender` btnAdd the open dialog asks first; without, odFilesList is added as it is.
    void btnAddClick(QObject* sender);
    void btnDeleteClick();
    void btnClearClick();
    void btnRefreshClick();
    void lvFilesDblClick();
    void pmListviewPopup();
    void pmiOpenClick();
    void pmiLocateClick();
    void btnPathClick(int row);
    void btnLocateClick(int row);
    // Re-tests row `index` and sets its state image; nothing when there is no such row.
    void RefreshItemState(int index);
    // Refills the three directory lists from the settings' history (the typed texts stay).
    void LoadHistoryPaths();
    // The open-file dialog's filter, from the filter text and the video extensions of now.
    void BuildFileFilter();
    // The application's message hook: drops onto the file list.
    bool AppMessage(QObject* receiver, QEvent* event);
    int FocusedSelectedRow() const;
    int FocusedRow() const;
    std::array<QComboBox*, 3> PathBoxes() const { return {cbPath, cbPath2, cbPath3}; }
    std::array<QCheckBox*, 3> SubBoxes() const { return {cbxSub, cbxSub2, cbxSub3}; }

    // --- help menu and title bar ---
    void btnHelpClick(QWidget* sender);
    void pmiHomeClick();
    void pmiHelpClick();
    void pmiLogClick();
    void pmiOptionClick();
    void lblSIBPClick();
    void btnCloseClick();
    void btnMinClick();
    void imgTopMouseMove(QPoint pos, Qt::MouseButtons buttons);

    // --- language ---
    // Fills `parent` with an entry per language file, the current one checked.
    void BuildLanguageMenu(QMenu* parent);
    // An entry of the "Languages" menu was picked.
    void LanguageMenuClick(QAction* item);
    // After another language was picked: the texts again, and what is derived from them.
    void WMLangChanged();
    // Lays out what depends on the texts: the left labels, the subdirectory boxes, the run button.
    void LayoutTexts();
    void ShiftFieldColumn(int delta);

    // --- run control ---
    void btnEncryptClick();
    void cbFileTypeChange();
    void cbxKeyClick();
    void lblDetail1Click();
    void lblDetail2Click();
    void lblDetail3Click();
    // The close query: false keeps the window open.
    bool FormCloseQuery();
    void OpenKeyBand(bool open);
    // The key field shows the key or hides it, as its eye says.
    void ShowKeyAsChosen();
    void ResetSummary();
    void ShowSummary();
    // The run button's caption when no job runs, by the target choice.
    QString RunCaption() const;
    // Writes a detail file of the last job ("Encrypted.txt", "Decrypted.txt", "Failed.txt", by
    // `which` 1, 2, 3) into the data folder and returns its path.
    QString WriteDetailFile(int which) const;
    void OpenDetailFile(int which) const;
    engine::TJobTexts JobTexts() const;
    void ShowRecoveredNow();
    void OpenPathsNow();
    void BringToFront();

    // --- job messages ---
    void OnJobFinished(const engine::TJobFinished& finished);
    void OnJobError(const engine::TJobError& error);
    void OnJobProgress(const engine::TJobProgress& progress);
    void OnJobCounts(const engine::TJobCounts& counts);
    void OnJobFailedSize(const engine::TJobFailedSize& failedSize);
    void OnJobSearching(const engine::TJobSearching& searching);
    void OnJobFileProgress(const engine::TJobFileProgress& progress);
    // The summary's first line while the job searches its folders.
    QString SearchingText(std::size_t found) const;
    void ScheduleLivePaint();
    void PaintProgress();

    // --- controls, named as the window's layout names them ---
    TSkinImage* imgTop = nullptr;
    TSkinImage* imgTopLeft = nullptr;
    TSkinImage* imgTopRight = nullptr;
    TSkinImage* imgLeft = nullptr;
    TSkinImage* imgRight = nullptr;
    TSkinImage* imgBottom = nullptr;
    TSkinImage* imgBottomLeft = nullptr;
    TSkinImage* imgBottomRight = nullptr;
    QLabel* lblTitle = nullptr;
    TLinkLabel* lblSIBP = nullptr;
    TOruButton* btnMin = nullptr;
    TOruButton* btnClose = nullptr;
    TOruButton* btnHelp = nullptr;
    TOruButton* btnFiles = nullptr;
    TOruButton* btnDirectory = nullptr;

    QWidget* pnlFiles = nullptr;
    TOruButton* btnAdd = nullptr;
    TOruButton* btnDelete = nullptr;
    TOruButton* btnClear = nullptr;
    TOruButton* btnRefresh = nullptr;
    TFileListView* lvFiles = nullptr;

    QWidget* pnlDirectory = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cbPath = nullptr;
    QComboBox* cbPath2 = nullptr;
    QComboBox* cbPath3 = nullptr;
    TOruButton* btnPath = nullptr;
    TOruButton* btnPath2 = nullptr;
    TOruButton* btnPath3 = nullptr;
    TOruButton* btnLocate = nullptr;
    TOruButton* btnLocate2 = nullptr;
    TOruButton* btnLocate3 = nullptr;
    QCheckBox* cbxSub = nullptr;
    QCheckBox* cbxSub2 = nullptr;
    QCheckBox* cbxSub3 = nullptr;

    QWidget* pnlEncrypt = nullptr;
    QCheckBox* cbxKey = nullptr;
    QLineEdit* edtKey = nullptr;
    QAction* actShowKey = nullptr;
    QLabel* lblKey = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbFileType = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblEncrypted = nullptr;
    QLabel* lblDecrypted = nullptr;
    QLabel* lblFailed = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* lblTime = nullptr;
    TLinkLabel* lblDetail1 = nullptr;
    TLinkLabel* lblDetail2 = nullptr;
    TLinkLabel* lblDetail3 = nullptr;
    TOruButton* btnEncrypt = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    QMenu* pmListview = nullptr;
    QAction* pmiOpen = nullptr;
    QAction* pmiLocate = nullptr;
    QMenu* pmHelp = nullptr;
    QAction* pmiHome = nullptr;
    QAction* pmiHelp = nullptr;
    QMenu* pmiLanguageMenu = nullptr;
    QAction* pmiLanguage = nullptr;
    QAction* pmiLog = nullptr;
    QAction* pmiOption = nullptr;

    TMainTexts texts_;
    TFileListModel* model_ = nullptr;
    QButtonGroup* modeGroup_ = nullptr;
    QObject* appHook_ = nullptr;
    QString fileFilter_;
    bool keyBandOpen_ = true;
    QStringList recovered_;
    QStringList notRecovered_;
    QStringList pathsToOpen_;     // named on a command line, waiting for the window to show
    QStringList unusableToTell_;  // names no file can have, from a later start
    QString activationToken_;
    std::unique_ptr<lang::TLanguageMenu> languageMenu_;
    std::vector<QAction*> languageItems_;                // the entries of languageMenu_, in its order
    std::vector<std::pair<QLabel*, bool>> labelColumn_;  // each label, and whether it is measured
    std::vector<QWidget*> fieldColumn_;
    int fieldShift_ = 0;      // how far long labels have pushed the field column right
    int runButtonWidth_ = 0;  // the run button's width as designed (0: not taken yet)

    bool closeQuestionOpen_ = false;       // "Stop encryption/decryption now?" is on screen
    bool jobEndedDuringQuestion_ = false;  // ... and the job ended while it was
    // The file list was changed since the job started.
    bool FListChanged = false;
    // The open dialog's list of chosen files; a drop fills it too.
    QStringList odFilesList;
    std::unique_ptr<engine::TKZVThread> FJob;
    bool FJobFromList = false;
    std::uint32_t FStartTicks = 0;

    // Rows whose file the running job lists again further on: re-tested only at the end, so that the
    // window never holds a file the job is still to open.
    std::vector<bool> laterAgain_;
    std::vector<int> refreshAtEnd_;

    struct LiveProgress {
        std::uintptr_t index = 0;
        std::intptr_t count = 0;
        std::uintptr_t encrypted = 0;
        std::intptr_t decrypted = 0;
        std::uintptr_t failed = 0;
        std::intptr_t mib = 0;
        std::size_t found = 0;
        // The file in hand, while a long toggle tells how far it is.
        std::size_t fileIndex = 0;
        std::int64_t fileDone = 0;
        std::int64_t fileTotal = 0;
        bool inFile = false;
        bool searching = false;
        bool progress = false;
        bool counts = false;
        bool failedSize = false;
    } live_;
    QTimer liveTimer_;
    std::uint32_t lastLivePaint_ = 0;
};

// The main window, told what start-up recovery restored and what it could not restore yet.
std::unique_ptr<TMainForm> CreateMainForm(const QStringList& recovered = {},
                                          const QStringList& notRecovered = {});

// The videos among `paths` as the file list takes them, in their order: a file when its extension is
// a listed video extension (whether it exists is the list's to find out), a folder's own videos sorted
// by name as file managers sort them (not its subfolders'); nothing for anything else.
QStringList VideosAmong(const QStringList& paths);

}  // namespace ui
