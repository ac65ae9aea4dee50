#pragma once
// The main window: the skinned frame with its title bar, the Help menu, the language, the hand-over of
// files from later starts, and the close question. Upper part: the Files panel or the Directories
// panel, as the mode tabs choose; lower part: the run panel. A job controller owns the job; the window
// decides what a run works on and tells how it ended.

#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "ui/BaseForm.h"
#include "ui/FilesPanel.h"
#include "ui/MainTexts.h"

class QButtonGroup;
class QLabel;
class QMenu;
class QAction;

namespace engine {
class TKZVThread;
}
namespace jobs {
class TJobController;
}
namespace lang {
class TLanguageMenu;
}

namespace ui {

class TDirectoryPanel;
class TFileListModel;
class TLinkLabel;
class TOruButton;
class TRunPanel;
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
    const TFileListModel* FileList() const;
    const QString& FileFilter() const;
    const TMainTexts& Texts() const noexcept { return texts_; }
    bool IsJobRunning() const;
    // The job running or ended last, nullptr before the first.
    const engine::TKZVThread* Job() const;

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
    void BuildTitleBar();
    void BuildMenus();
    // Places what is laid out by the width of its text, once the English texts are in place.
    void PlaceByTexts();
    void BuildKeyboard();
    void NameByTexts();

    // --- modes, help menu and title bar ---
    void btnFilesClick();
    void btnDirectoryClick();
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
    // The labels left of both panels, which line up at the longest (and whether each counts for that),
    // and the fields right of them, which move right when a label needs the room.
    std::vector<std::pair<QLabel*, bool>> LabelColumn() const;
    std::vector<QWidget*> FieldColumn() const;
    void ShiftFieldColumn(int delta);

    // --- runs ---
    // The run button was pressed with no job running: checks there is something to do, asks for the
    // backup warning, and starts the job on the list or the folders.
    void StartRun();
    void OnJobError(const QString& text);
    void OnJobFinished(bool canceled);
    void OpenKeyBand(bool open);
    // The close query: false keeps the window open.
    bool FormCloseQuery();
    // The window closes on a run that has ended: what it did, the file in hand, and where its failures
    // are listed, told once before the window goes.
    void TellRunOnClose(const QString& firstLine);

    void ShowRecoveredNow();
    void OpenPathsNow();
    void BringToFront();

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
    TFilesPanel* pnlFiles = nullptr;
    TDirectoryPanel* pnlDirectory = nullptr;
    TRunPanel* pnlEncrypt = nullptr;

    QMenu* pmHelp = nullptr;
    QAction* pmiHome = nullptr;
    QAction* pmiHelp = nullptr;
    QMenu* pmiLanguageMenu = nullptr;
    QAction* pmiLanguage = nullptr;
    QAction* pmiLog = nullptr;
    QAction* pmiOption = nullptr;

    TMainTexts texts_;
    jobs::TJobController* controller_ = nullptr;  // "jobController", the first child: the last run's owner
    QButtonGroup* modeGroup_ = nullptr;
    bool keyBandOpen_ = true;
    QStringList recovered_;
    QStringList notRecovered_;
    QStringList pathsToOpen_;     // named on a command line, waiting for the window to show
    QStringList unusableToTell_;  // names no file can have, from a later start
    QString activationToken_;
    std::unique_ptr<lang::TLanguageMenu> languageMenu_;
    std::vector<QAction*> languageItems_;  // the entries of languageMenu_, in its order
    int fieldShift_ = 0;                   // how far long labels have pushed the field column right

    bool closeQuestionOpen_ = false;       // "Stop encryption/decryption now?" is on screen
    bool jobEndedDuringQuestion_ = false;  // ... and the job ended while it was
};

// The main window, told what start-up recovery restored and what it could not restore yet.
std::unique_ptr<TMainForm> CreateMainForm(const QStringList& recovered = {},
                                          const QStringList& notRecovered = {});

}  // namespace ui
