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

    // --- language ---
    // Puts the loaded language's captions, tool tips and run-time texts in place and lines the labels
    // up with them; nothing while no language is loaded.
    void ApplyLanguage() override;
    // Fills `parent` with an entry per language file, the current one checked.
    void BuildLanguageMenu(QMenu* parent);
    // An entry of the "Languages" menu was picked.
    void LanguageMenuClick(QAction* item);
    // After another language was picked: the texts again, and what is derived from them.
    void WMLangChanged();

    // --- what the run control relies on ---
    // Files mode while the file panel is shown, Directories mode while the directory panel is.
    bool FilesMode() const;
    TFileListModel* FileList() const noexcept { return model_; }
    // Re-tests row `index` and sets its state image; nothing when there is no such row.
    void RefreshItemState(int index);
    // Refills the three directory lists from the settings' history (the typed texts stay).
    void LoadHistoryPaths();
    // The open-file dialog's filter, from the filter text and the video extensions of now.
    void BuildFileFilter();
    const QString& FileFilter() const noexcept { return fileFilter_; }
    // The file list was changed since the job started.
    bool FListChanged = false;
    // The open dialog's list of chosen files; a drop fills it too.
    QStringList odFilesList;

    // --- run control ---
    bool IsJobRunning() const;
    const engine::TKZVThread* Job() const noexcept { return FJob.get(); }
    void ResetSummary();
    void ShowSummary();
    // The run button's caption when no job runs, by the target choice.
    QString RunCaption() const;
    // Writes a detail file of the last job ("Encrypted.txt", "Decrypted.txt", "Failed.txt", by
    // `which` 1, 2, 3) into the data folder and returns its path.
    QString WriteDetailFile(int which) const;

    // Start-up recovery put these files back as they were before an interrupted run, and could not yet
    // apply what `notRestored` says: tells the user once, in one box, after the window is shown (at
    // once when it is shown already).
    void ShowRecoveredFiles(const QStringList& paths, const QStringList& notRestored = {});

    // The run-time texts.
    TMainTexts Texts;

    // --- controls, named as the window's layout names them ---
    TSkinImage* imgTop;
    TSkinImage* imgTopLeft;
    TSkinImage* imgTopRight;
    TSkinImage* imgLeft;
    TSkinImage* imgRight;
    TSkinImage* imgBottom;
    TSkinImage* imgBottomLeft;
    TSkinImage* imgBottomRight;
    QLabel* lblTitle;
    TLinkLabel* lblSIBP;
    TOruButton* btnMin;
    TOruButton* btnClose;
    TOruButton* btnHelp;
    TOruButton* btnFiles;
    TOruButton* btnDirectory;

    QWidget* pnlFiles;
    TOruButton* btnAdd;
    TOruButton* btnDelete;
    TOruButton* btnClear;
    TOruButton* btnRefresh;
    TFileListView* lvFiles;

    QWidget* pnlDirectory;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label6;
    QComboBox* cbPath;
    QComboBox* cbPath2;
    QComboBox* cbPath3;
    TOruButton* btnPath;
    TOruButton* btnPath2;
    TOruButton* btnPath3;
    TOruButton* btnLocate;
    TOruButton* btnLocate2;
    TOruButton* btnLocate3;
    QCheckBox* cbxSub;
    QCheckBox* cbxSub2;
    QCheckBox* cbxSub3;

    QWidget* pnlEncrypt;
    QCheckBox* cbxKey;
    QLineEdit* edtKey;
    QLabel* lblKey;
    QLabel* Label3;
    QComboBox* cbFileType;
    QLabel* Label1;
    QLabel* lblEncrypted;
    QLabel* lblDecrypted;
    QLabel* lblFailed;
    QLabel* lblSize;
    QLabel* lblTime;
    TLinkLabel* lblDetail1;
    TLinkLabel* lblDetail2;
    TLinkLabel* lblDetail3;
    TOruButton* btnEncrypt;
    QProgressBar* ProgressBar1;

    QMenu* pmListview;
    QAction* pmiOpen;
    QAction* pmiLocate;
    QMenu* pmHelp;
    QAction* pmiHome;
    QAction* pmiHelp;
    QMenu* pmiLanguageMenu;
    QAction* pmiLanguage;
    QAction* pmiLog;
    QAction* pmiOption;

    // --- handlers ---
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
    void btnHelpClick(QWidget* sender);
    void pmiHomeClick();
    void pmiHelpClick();
    void pmiLogClick();
    void pmiOptionClick();
    void lblSIBPClick();
    void btnCloseClick();
    void btnMinClick();
    void imgTopMouseMove(QPoint pos, Qt::MouseButtons buttons);

    void btnEncryptClick();
    void cbFileTypeChange();
    void cbxKeyClick();
    void lblDetail1Click();
    void lblDetail2Click();
    void lblDetail3Click();
    // The close query: false keeps the window open.
    bool FormCloseQuery();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The application's message hook: drops onto the file list.
    bool AppMessage(QObject* receiver, QEvent* event);
    void OpenKeyBand(bool open);
    // Lays out what depends on the texts: the left labels, the subdirectory boxes, the run button.
    void LayoutTexts();
    void ShiftFieldColumn(int delta);
    std::array<QComboBox*, 3> PathBoxes() const { return {cbPath, cbPath2, cbPath3}; }
    std::array<QCheckBox*, 3> SubBoxes() const { return {cbxSub, cbxSub2, cbxSub3}; }
    int FocusedSelectedRow() const;
    int FocusedRow() const;
    engine::TJobTexts JobTexts() const;
    void ShowRecoveredNow();

    // Job messages.
    void OnJobFinished(const engine::TJobFinished& finished);
    void OnJobError(const engine::TJobError& error);
    void OnJobProgress(const engine::TJobProgress& progress);
    void OnJobCounts(const engine::TJobCounts& counts);
    void OnJobFailedSize(const engine::TJobFailedSize& failedSize);
    void ScheduleLivePaint();
    void PaintProgress();

    TFileListModel* model_;
    QButtonGroup* modeGroup_;
    QObject* appHook_;
    QString fileFilter_;
    bool keyBandOpen_ = true;
    QStringList recovered_;
    QStringList notRecovered_;
    std::unique_ptr<lang::TLanguageMenu> languageMenu_;
    std::vector<QAction*> languageItems_;  // the entries of languageMenu_, in its order
    int fieldShift_ = 0;                   // how far long labels have pushed the field column right
    int runButtonWidth_ = 0;               // the run button's width as designed (0: not taken yet)

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
        bool progress = false;
        bool counts = false;
        bool failedSize = false;
    } live_;
    QTimer liveTimer_;
    std::uint32_t lastLivePaint_ = 0;
};

std::unique_ptr<QWidget> CreateMainForm();

}  // namespace ui
