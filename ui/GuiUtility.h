#pragma once
// The in-house utility routines that need windows: message boxes, the folder and file dialogs,
// handing files, folders and web pages to the desktop, the rounded window outline, the cursor relative
// to a control, quiet value changes and messages to every window.
//
// Every modal and every outward call goes through one replaceable function of TShellCalls, so that
// windows can be driven headless: the program keeps the defaults, tests answer the dialog they expect
// and record what would have been shown or opened.

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace ui {

// MsgBox buttons.
inline constexpr int kMbOk = 1;     // OK alone
inline constexpr int kMbYesNo = 3;  // Yes and No
// MsgBox icons.
inline constexpr int kIconInfo = 1;      // notices
inline constexpr int kIconQuestion = 2;  // a Yes/No question
inline constexpr int kIconJobError = 3;  // an error reported by the job
inline constexpr int kIconFailure = 4;   // failures
// MsgBox answers, numbered as the standard dialog codes.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct TShellCalls {
    // A modal box; returns the code of the button pressed.
    std::function<int(const QString& text, int buttons, int icon)> MsgBox;
    // The folder dialog; the chosen folder, or empty when cancelled.
    std::function<QString(const QString& prompt, const QString& startFolder)> SelectPath;
    // The open-file dialog with multiple selection; nullopt when cancelled.
    std::function<std::optional<QStringList>(QWidget* parent, const QString& filter)> OpenFiles;
    // Hands a file, a folder or a web page to the desktop. Behind RunFile, OpenDir, OpenFileDir, OpenUrl.
    std::function<bool(const QUrl& url)> OpenUrl;
    // The backup warning; true when the user confirmed.
    std::function<bool()> ShowRiskWarning;
    // The options dialog; true when it was closed with OK.
    std::function<bool()> ShowOptionsDialog;
    // Closes the box on top, as its close button would, when one is open.
    std::function<void()> DismissMsgBox;
};

// The calls in use. Starts with the defaults.
TShellCalls& ShellCalls();
// The defaults: real dialogs and the desktop services.
TShellCalls DefaultShellCalls();

// Puts `calls` in place for its lifetime and restores the previous ones afterwards (for tests).
class TShellCallsScope {
public:
    explicit TShellCallsScope(TShellCalls calls);
    ~TShellCallsScope();
    TShellCallsScope(const TShellCallsScope&) = delete;
    TShellCallsScope& operator=(const TShellCallsScope&) = delete;

private:
    TShellCalls saved_;
};

// `style` is kept for callers that pass it; boxes are always application-modal.
int MsgBox(const QString& text, int buttons, int icon, int style = 1);
// Closes the box on top, when one is open: a question that no longer applies.
void DismissMsgBox();
// `rootText` is accepted for callers and unused: the dialog starts at `startFolder`.
QString SelectPath(const QString& prompt, const QString& rootText, const QString& startFolder);
std::optional<QStringList> OpenFilesDialog(QWidget* parent, const QString& filter);

// Shows the folder in the file manager.
bool OpenDir(const QString& folder, bool select = false);
// Shows the folder that holds `file`.
bool OpenFileDir(const QString& file, bool select = false);
// Opens `file` with the program associated with its type; `parameters` are not passed on.
bool RunFile(const QString& file, const QString& parameters = {});
bool OpenUrl(const QString& address);

// The same dialog filter in Qt's form: "All Video Files|*.avi;*.mp4|All Files(*.*)|*.*" gives
// "All Video Files (*.avi *.mp4);;All Files(*.*) (*.*)". A description without a pattern is dropped.
QString ToQtFilter(const QString& pipeFilter);

// Clips the window to a rectangle of its current size whose corners are quarter ellipses `ellipse`
// pixels wide and high (as a rounded-rectangle region is specified on Windows).
void MakeRoundRectForm(QWidget* form, int ellipse);
// The region that MakeRoundRectForm sets, for a window of `width` × `height`.
QRegion RoundRectRegion(int width, int height, int ellipse);

// The mouse position relative to the control's top-left corner.
QPoint GetCursorOppPos(const QWidget* control);

// Sets the control's value (its user property: checked, value, text, current index, ...) without
// running its change handlers. False when the control has no such property or refuses the value.
bool NoChangeSet(QWidget* control, const QVariant& value);

// Delivers a window message to every open top-level window: at once, or posted when `post` is set.
void BroadcastScreenMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam, bool post = true);

}  // namespace ui
