#include "ui/MainForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <utility>

#include "jobs/JobController.h"
#include "jobs/JobOptionsFromSettings.h"
#include "lang/Language.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Utility.h"
#include "platform/WindowSystem.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"
#include "ui/Anchors.h"
#include "ui/DirectoryPanel.h"
#include "ui/FileListView.h"
#include "ui/GuiUtility.h"
#include "ui/LinkLabel.h"
#include "ui/MainLook.h"
#include "ui/OptionForm.h"
#include "ui/OruButton.h"
#include "ui/QtDialogTexts.h"
#include "ui/RiskWarnForm.h"
#include "ui/RunPanel.h"
#include "ui/SkinImage.h"
#include "ui/WindowTexts.h"

namespace ui {

namespace {

constexpr int kRoundCorners = 10;
constexpr int kDesignWidth = 688;
constexpr int kDesignHeight = 563;  // with the key band open
constexpr int kMinWidth = 680;
constexpr int kMinHeight = 500;  // with the key band closed
constexpr std::uint32_t kLivePaintMs = 40;
constexpr int kMaxRecoveredShown = 20;
constexpr int kMinLabelLeft = 8;       // the least room left of the labels before the panels' edge
constexpr int kRunButtonPadding = 14;  // room at each end of the run button's caption
// The platform's keys, known only once the application runs.
QKeySequence addFilesKeys() {
    return QKeySequence(QKeySequence::Open);
}
QKeySequence refreshKeys() {
    return QKeySequence(QKeySequence::Refresh);
}
QKeySequence closeKeys() {
    return QKeySequence(QKeySequence::Quit);
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : TBaseForm(parent) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(settings::DisplayName());
    setWindowIcon(QIcon(SkinPixmap(QStringLiteral("logo"))));
    resize(kDesignWidth, kDesignHeight);
    setMinimumSize(kMinWidth, kMinHeight + kKeyBandHeight);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, kMainBackground);
    p.setColor(QPalette::WindowText, kMainText);
    setPalette(p);
    setFont(Arial(12));

    // Thousands of job messages a second may arrive; the run panel follows them at most every
    // kLivePaintMs, so the window keeps pace with the job and stays free to repaint.
    controller_ = new jobs::TJobController(kLivePaintMs, this);
    controller_->setObjectName(QStringLiteral("jobController"));
    BuildTitleBar();
    pnlFiles = new TFilesPanel(texts_, this);
    pnlDirectory = new TDirectoryPanel(texts_, this);
    pnlEncrypt = new TRunPanel(texts_, *controller_, this);
    BuildMenus();
    ApplyTextRows(*this, MainFormTexts(), EnglishText, &texts_);
    PlaceByTexts();
    pnlEncrypt->ApplyTexts();

    connect(pnlEncrypt, &TRunPanel::RunClicked, this, &TMainForm::StartRun);
    connect(pnlEncrypt, &TRunPanel::KeyBandToggled, this, &TMainForm::OpenKeyBand);
    connect(controller_, &jobs::TJobController::FileHandled, pnlFiles, &TFilesPanel::FileHandled);
    connect(controller_, &jobs::TJobController::JobError, this,
            [this](const QString& text) { OnJobError(text); });
    connect(controller_, &jobs::TJobController::Finished, this, &TMainForm::OnJobFinished);
}

// The frame images (edges first, corners over them), the title, the window buttons, the Help button
// and the two mode tabs.
void TMainForm::BuildTitleBar() {
    imgTop = AddFrameImage("imgTop", QStringLiteral("main_top"), {0, 0, 688, 84}, kLeftTopRight, true);
    imgLeft = AddFrameImage("imgLeft", QStringLiteral("main_left"), {0, 84, 8, 471},
                            kLeftTop | TAnchor::Bottom, true);
    imgRight = AddFrameImage("imgRight", QStringLiteral("main_right"), {680, 84, 8, 471},
                             kTopRight | TAnchor::Bottom, true);
    imgBottom =
        AddFrameImage("imgBottom", QStringLiteral("main_bottom"), {0, 555, 688, 8}, kLeftRightBottom, true);
    imgTopLeft = AddFrameImage("imgTopLeft", QStringLiteral("main_topleft"), {0, 0, 64, 84}, kLeftTop, false);
    imgTopRight =
        AddFrameImage("imgTopRight", QStringLiteral("main_topright"), {680, 0, 8, 84}, kTopRight, false);
    imgBottomLeft =
        AddFrameImage("imgBottomLeft", QStringLiteral("main_bottomleft"), {0, 555, 8, 8}, kLeftBottom, false);
    imgBottomRight = AddFrameImage("imgBottomRight", QStringLiteral("main_bottomright"), {680, 555, 8, 8},
                                   kRightBottom, false);

    lblTitle = Place(new QLabel(windowTitle(), this), "lblTitle", {71, 5, 300, 18}, kLeftTop);
    lblTitle->setFont(Arial(13, true));
    SetTextColor(lblTitle, Qt::white);
    lblTitle->adjustSize();
    lblTitle->installEventFilter(this);

    btnMin = ImageButton(this, "btnMin", QStringLiteral("min"), {633, 3, 23, 18}, kTopRight);
    btnClose = ImageButton(this, "btnClose", QStringLiteral("close"), {656, 3, 28, 18}, kTopRight);
    btnHelp = ImageButton(this, "btnHelp", QStringLiteral("help"), {621, 38, 57, 25}, kTopRight);
    btnHelp->SetCaptionColor(Qt::white);
    btnHelp->SetStretch(true, 5, 5);

    lblSIBP =
        Place(new TLinkLabel(QStringLiteral("Orrelguard >>"), this), "lblSIBP", {0, 5, 100, 16}, kTopRight);
    SetTextColor(lblSIBP, Qt::white);
    lblSIBP->adjustSize();
    lblSIBP->move(btnMin->x() - 27 - lblSIBP->width(), 5);

    btnFiles = ImageButton(this, "btnFiles", QStringLiteral("tab_left"), {76, 42, 134, 35}, kLeftTop);
    btnDirectory =
        ImageButton(this, "btnDirectory", QStringLiteral("tab_right"), {210, 42, 134, 35}, kLeftTop);
    for (TOruButton* mode : {btnFiles, btnDirectory}) {
        mode->setFont(Arial(16));
        mode->setCheckable(true);
        mode->SetStretch(true, 6, 6);
    }
    modeGroup_ = new QButtonGroup(this);
    modeGroup_->setExclusive(true);
    modeGroup_->addButton(btnFiles);
    modeGroup_->addButton(btnDirectory);
    btnFiles->setChecked(true);
    btnFiles->SetCaptionColor(Qt::white);
    btnDirectory->SetCaptionColor(kModeIdle);

    connect(btnFiles, &TOruButton::clicked, this, &TMainForm::btnFilesClick);
    connect(btnDirectory, &TOruButton::clicked, this, &TMainForm::btnDirectoryClick);
    connect(btnHelp, &TOruButton::clicked, this, [this] { btnHelpClick(btnHelp); });
    connect(lblSIBP, &TLinkLabel::clicked, this, &TMainForm::lblSIBPClick);
    connect(btnClose, &TOruButton::clicked, this, &TMainForm::btnCloseClick);
    connect(btnMin, &TOruButton::clicked, this, &TMainForm::btnMinClick);
    connect(imgTop, &TSkinImage::MouseMoved, this, &TMainForm::imgTopMouseMove);
    connect(imgTopLeft, &TSkinImage::MouseMoved, this, &TMainForm::imgTopMouseMove);
}

// The Help menu with its Languages submenu.
void TMainForm::BuildMenus() {
    const auto item = [](QMenu* in, const char* name) {
        QAction* action = in->addAction(QString());
        action->setObjectName(QLatin1String(name));
        return action;
    };
    pmHelp = MakeMenu("pmHelp", this);
    pmiHome = item(pmHelp, "pmiHome");
    pmiHelp = item(pmHelp, "pmiHelp");
    pmiLanguageMenu = MakeMenu("pmiLanguageMenu", pmHelp);
    pmiLanguage = pmHelp->addMenu(pmiLanguageMenu);
    pmiLanguage->setObjectName(QStringLiteral("pmiLanguage"));
    pmHelp->addSeparator();
    pmiLog = item(pmHelp, "pmiLog");
    pmiLog->setVisible(false);
    pmiOption = item(pmHelp, "pmiOption");

    connect(pmiHome, &QAction::triggered, this, &TMainForm::pmiHomeClick);
    connect(pmiHelp, &QAction::triggered, this, &TMainForm::pmiHelpClick);
    connect(pmiLog, &QAction::triggered, this, &TMainForm::pmiLogClick);
    connect(pmiOption, &QAction::triggered, this, &TMainForm::pmiOptionClick);
}

void TMainForm::PlaceByTexts() {
    pnlDirectory->PlaceSubBoxesByHint();
    pnlEncrypt->PlaceLinks();
}

TMainForm::~TMainForm() {
    try {
        settings::Settings->Save(true);
    } catch (const std::exception& e) {
        // The settings could not be written: say so rather than lose them silently.
        platform::MsgOut(QStringLiteral("Saving the settings failed: ") + platform::FromLocal8Bit(e.what()));
        MsgBox(platform::FromLocal8Bit(e.what()), kMbOk, kIconFailure);
    }
    // The controller, created first, goes first among the children: it waits for the file in hand.
}

std::unique_ptr<TMainForm> CreateMainForm(const QStringList& recovered, const QStringList& notRecovered) {
    auto form = CreateForm<TMainForm>();
    // What start-up recovery put back is told once, when the window has appeared.
    form->ShowRecoveredFiles(recovered, notRecovered);
    return form;
}

void TMainForm::FormCreate() {
    TBaseForm::FormCreate();
    SetLabel(lblTitle, settings::DisplayName());
    MakeRoundRectForm(this, kRoundCorners);
    pnlDirectory->LoadHistoryPaths();
    pnlFiles->BuildFileFilter();
    OpenKeyBand(false);
    pnlFiles->TakeDrops();
    lblSIBP->setVisible(settings::Settings->ShowSIBP());
    BuildLanguageMenu(pmiLanguageMenu);
    UseQtDialogTexts(GetLanguageId());
    // Without any language file to offer, the item stays hidden.
    pmiLanguage->setVisible(!pmiLanguageMenu->isEmpty());
    BuildKeyboard();
    NameByTexts();
    // The window opens on its list, not on the title bar's first button.
    findChild<QWidget*>(QStringLiteral("lvFiles"))->setFocus();
}

// Tab goes through the window as it reads: the modes, the panel shown, the run panel, then the title
// bar; the usual shortcuts work from anywhere in it.
void TMainForm::BuildKeyboard() {
    const std::vector<const char*> chain{
        "btnFiles",   "btnDirectory", "lvFiles", "btnAdd",     "btnDelete",  "btnClear",
        "btnRefresh", "cbPath",       "btnPath", "btnLocate",  "cbxSub",     "cbPath2",
        "btnPath2",   "btnLocate2",   "cbxSub2", "cbPath3",    "btnPath3",   "btnLocate3",
        "cbxSub3",    "cbxKey",       "edtKey",  "cbFileType", "lblDetail1", "lblDetail2",
        "lblDetail3", "btnEncrypt",   "btnHelp", "lblSIBP",    "btnMin",     "btnClose"};
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(findChild<QWidget*>(QLatin1String(chain[i])),
                    findChild<QWidget*>(QLatin1String(chain[i + 1])));

    const auto shortcut = [this](const QKeySequence& keys, auto handler) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, handler);
    };
    shortcut(addFilesKeys(), [this] {
        btnFilesClick();
        pnlFiles->AskForFiles();
    });
    shortcut(refreshKeys(), [this] {
        if (FilesMode()) pnlFiles->RefreshRows();
    });
    shortcut(QKeySequence(Qt::Key_F1), [this] { btnHelpClick(btnHelp); });
    shortcut(QKeySequence(Qt::ALT | Qt::Key_H), [this] { btnHelpClick(btnHelp); });
    shortcut(closeKeys(), [this] { close(); });
    // Delete belongs to the list: in a text field it deletes a character.
    auto* remove = new QShortcut(QKeySequence::Delete, findChild<QWidget*>(QStringLiteral("lvFiles")));
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, pnlFiles, &TFilesPanel::RemoveSelected);
}

// What follows the texts: the names a screen reader reads, and the shortcuts in the tool tips.
void TMainForm::NameByTexts() {
    pnlDirectory->NameFields();
    pnlEncrypt->PlaceLinks();
    const auto withKeys = [](QWidget* control, const QString& tip, const QKeySequence& keys) {
        control->setAccessibleName(tip);
        const QString named = keys.toString(QKeySequence::NativeText);
        control->setToolTip(tip.isEmpty() ? named : QStringLiteral("%1 (%2)").arg(tip, named));
    };
    const auto control = [this](const char* name) { return findChild<QWidget*>(QLatin1String(name)); };
    for (const auto& [name, keys] :
         {std::pair{"btnAdd", addFilesKeys()}, std::pair{"btnRefresh", refreshKeys()},
          std::pair{"btnDelete", QKeySequence(QKeySequence::Delete)}}) {
        // The tool tip as the language gave it, without the keys put after it before.
        QWidget* button = control(name);
        const QString tip =
            button->accessibleName().isEmpty() || !button->toolTip().startsWith(button->accessibleName())
                ? button->toolTip()
                : button->accessibleName();
        withKeys(button, tip, keys);
    }
    withKeys(btnHelp, btnHelp->text(), QKeySequence(Qt::Key_F1));
    withKeys(btnClose, btnClose->accessibleName(), closeKeys());
}

void TMainForm::AdjustForDpi() {
    LayoutFrameImages(imgLeft, imgRight, imgTop, imgBottom, imgTopLeft, imgTopRight, imgBottomLeft,
                      imgBottomRight);
    lblTitle->move(lblTitle->x(), 4);
    btnMin->move(btnMin->x(), 3);
    btnClose->move(btnClose->x(), 3);
    btnHelp->move(btnHelp->x(), 38);
    btnFiles->move(76, 42);
    btnDirectory->move(btnFiles->x() + btnFiles->width(), 42);
    btnClose->move(width() - 32, btnClose->y());
    btnMin->move(btnClose->x() - btnMin->width(), btnMin->y());
    lblSIBP->move(btnMin->x() - 27 - lblSIBP->width(), 4);
}

bool TMainForm::GetResizeBorders(TResizeBorders& borders) const {
    borders.LeftWidth = 8;
    borders.RightWidth = 8;
    borders.TopHeight = 4;
    borders.BottomHeight = 8;
    borders.TopLeftWidth = borders.TopLeftHeight = 12;
    borders.BottomLeftWidth = borders.BottomLeftHeight = 12;
    borders.TopRightWidth = borders.TopRightHeight = 12;
    borders.BottomRightWidth = borders.BottomRightHeight = 12;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Modes, help menu and title bar

bool TMainForm::FilesMode() const {
    return !pnlFiles->isHidden();
}

const TFileListModel* TMainForm::FileList() const {
    return pnlFiles->Model();
}

const QString& TMainForm::FileFilter() const {
    return pnlFiles->FileFilter();
}

void TMainForm::btnFilesClick() {
    pnlFiles->show();
    pnlDirectory->hide();
    btnFiles->setChecked(true);
    btnFiles->SetCaptionColor(Qt::white);
    btnDirectory->SetCaptionColor(kModeIdle);
}

void TMainForm::btnDirectoryClick() {
    pnlDirectory->show();
    pnlFiles->hide();
    btnDirectory->setChecked(true);
    btnFiles->SetCaptionColor(kModeIdle);
    btnDirectory->SetCaptionColor(Qt::white);
}

void TMainForm::btnHelpClick(QWidget* sender) {
    if (sender == nullptr) return;
    pmHelp->popup(sender->mapToGlobal(QPoint(0, sender->height())) + QPoint(1, -2));
}

void TMainForm::pmiHomeClick() {
    OpenUrl(settings::HomePage());
}

void TMainForm::pmiHelpClick() {
    OpenUrl(settings::ProductPage());
}

void TMainForm::pmiLogClick() {
    OpenDir(settings::AppDataFolder(), false);
}

void TMainForm::pmiOptionClick() {
    if (ShowOptionsDialog()) lblSIBP->setVisible(settings::Settings->ShowSIBP());
}

void TMainForm::lblSIBPClick() {
    OpenUrl(settings::HomePage() + QStringLiteral("orrelguard/"));
}

void TMainForm::btnCloseClick() {
    close();
}

void TMainForm::btnMinClick() {
    showMinimized();
}

void TMainForm::imgTopMouseMove(QPoint pos, Qt::MouseButtons buttons) {
    if (isMaximized()) return;
    // The window manager takes over a move only while the button is down.
    if (buttons & Qt::LeftButton && pos.y() <= kMainTitleDragHeight) StartSystemMove();
}

// ---------------------------------------------------------------------------------------------
// Runs

bool TMainForm::IsJobRunning() const {
    return controller_->Running();
}

const engine::TKZVThread* TMainForm::Job() const {
    return controller_->Job();
}

void TMainForm::StartRun() {
    pnlDirectory->TrimTexts();
    const bool filesMode = FilesMode();
    if (filesMode && pnlFiles->Model()->Count() == 0) {
        MsgBox(texts_.AddFile, kMbOk, kIconInfo);
        return;
    }
    if (!filesMode && pnlDirectory->AllEmpty()) {
        MsgBox(texts_.AddDir, kMbOk, kIconInfo);
        return;
    }
    if (settings::Settings->ShowRiskWarn() && !ShowRiskWarning()) return;

    engine::TJobOptions options = jobs::JobOptionsFromSettings(*settings::Settings);
    options.Key = pnlEncrypt->Key();
    options.FileType = pnlEncrypt->Target();
    jobs::TJobInput input;
    // In Directories mode the job searches the folders itself: a large tree or a slow disk takes
    // minutes to walk, which here would freeze the window with no way to stop it.
    if (filesMode) {
        input.Files = pnlFiles->BeginRun();
    } else {
        input.Folders = pnlDirectory->Folders();
        pnlFiles->BeginFolderRun();
    }
    pnlEncrypt->JobStarted(!filesMode);
    pnlDirectory->AddToHistory();
    controller_->Start(options, std::move(input));
}

void TMainForm::OpenKeyBand(bool open) {
    pnlEncrypt->ShowKeyBand(open);
    if (open == keyBandOpen_) return;
    keyBandOpen_ = open;
    const int band = open ? kKeyBandHeight : -kKeyBandHeight;
    setMinimumHeight(ScaleValue(kMinHeight));
    SetClientSize(this, width(), height() + band);
    // The lower panel stays on the bottom edge and gains or loses the band under the check box; the
    // file panel takes what is left, whatever the window could grow.
    const QRect encrypt = pnlEncrypt->geometry();
    const int encryptHeight = encrypt.height() + band;
    SetBounds(pnlEncrypt, encrypt.x(), encrypt.bottom() + 1 - encryptHeight, encrypt.width(), encryptHeight);
    SetBounds(pnlFiles, pnlFiles->x(), pnlFiles->y(), pnlFiles->width(), pnlEncrypt->y() - pnlFiles->y());
    // With the band open the window needs room for it on top of its usual minimum, or the directory rows
    // would slide under the lower panel.
    if (open) setMinimumHeight(ScaleValue(kMinHeight) + kKeyBandHeight);
}

void TMainForm::OnJobError(const QString& text) {
    MsgBox(text, kMbOk, kIconJobError);
}

void TMainForm::OnJobFinished(bool canceled) {
    const engine::TKZVThread& job = *controller_->Job();
    pnlFiles->RunEnded(job.FailedList);
    pnlEncrypt->JobEnded();
    if (closeQuestionOpen_ || controller_->Silenced()) {
        // The user is closing the window: the question whether to stop no longer applies, and no end
        // message follows.
        jobEndedDuringQuestion_ = closeQuestionOpen_;
        if (closeQuestionOpen_) DismissMsgBox();
        return;
    }
    // Failed files were left as they were: "Finished!" alone would read as if every file had changed.
    const std::size_t failed = job.FailedList.size();
    QString status = texts_.Finished;
    int icon = kIconInfo;
    if (canceled) {
        status = texts_.Canceled;
    } else if (failed > 0) {
        status = texts_.FinishedFailed;
        status.replace(QStringLiteral("%d"), QString::number(failed));
        // When every failure has one cause, the user reads it here rather than in Failed.txt.
        if (const QString cause = texts_.CommonCause(job.FailedList); !cause.isEmpty())
            status += QLatin1Char(' ') + cause;
        icon = kIconFailure;
    }
    const engine::TJobTexts jobTexts = texts_.JobTexts(GetLanguageId() == QStringLiteral("Chinese"));
    MsgBox(status + QStringLiteral("\n") + texts_.Time + engine::FormatElapsed(job.Ticks, jobTexts), kMbOk,
           icon);
}

bool TMainForm::FormCloseQuery() {
    if (!IsJobRunning()) return true;
    closeQuestionOpen_ = true;
    jobEndedDuringQuestion_ = false;
    const int answer = MsgBox(texts_.StopNow, kMbYesNo, kIconQuestion);
    closeQuestionOpen_ = false;
    // The job ended while the question was open: nothing is left to stop, and the window closes as the
    // user asked.
    if (jobEndedDuringQuestion_) {
        TellRunOnClose(texts_.EndedOnClose);
        return true;
    }
    if (answer != kIdYes) return false;
    // The job finishes or puts back the file in hand and says nothing more.
    controller_->StopSilently();
    controller_->Wait();
    TellRunOnClose(texts_.StoppedOnClose);
    return true;
}

void TMainForm::TellRunOnClose(const QString& firstLine) {
    const engine::TKZVThread* job = controller_->Job();
    if (!job) return;
    const auto count = [](const QString& prefix, std::size_t n) { return prefix + QString::number(n); };
    QStringList lines{firstLine, QString(), count(texts_.Encrypted, job->EncryptedList.size()),
                      count(texts_.Decrypted, job->DecryptedList.size()),
                      count(texts_.Failed, job->FailedList.size())};
    platform::MsgOut(QStringLiteral("The window closed on a run: %1 encrypted, %2 decrypted, %3 failed")
                         .arg(job->EncryptedList.size())
                         .arg(job->DecryptedList.size())
                         .arg(job->FailedList.size()));
    if (!job->StoppedAt.empty()) {
        const QString inHand = platform::FromLocal8Bit(job->StoppedAt);
        lines << QString(job->StoppedPutBack ? texts_.InHandPutBack : texts_.InHandFinished)
                     .replace(QStringLiteral("%s"), inHand);
    }
    if (!job->FailedList.empty()) {
        // The window and its "(details)" links go: the list stays where the user can read it.
        try {
            const QString list =
                controller_->WriteDetailFile(jobs::TDetailList::Failed, settings::AppDataFolder(),
                                             texts_.JobTexts(GetLanguageId() == QStringLiteral("Chinese")));
            lines << QString(texts_.FailedListAt).replace(QStringLiteral("%s"), list);
        } catch (const std::exception& e) {
            platform::MsgOut(platform::FromLocal8Bit(e.what()));
        }
        if (platform::LogObj)
            lines << QString(texts_.LogIsAt)
                         .replace(QStringLiteral("%s"),
                                  platform::FromLocal8Bit(platform::LogObj->FileName()));
    }
    MsgBox(lines.join(QLatin1Char('\n')), kMbOk, job->FailedList.empty() ? kIconInfo : kIconFailure);
}

// ---------------------------------------------------------------------------------------------
// Language

void TMainForm::ApplyLanguage() {
    if (!IsLanguageLoaded()) return;
    // Every key is applied: one that the language file lacks leaves its text empty.
    ApplyTextRows(
        *this, MainFormTexts(), [this](const TTextRow& row) { return Translate(QLatin1String(row.Key)); },
        &texts_);
    pnlEncrypt->ApplyTexts();
    LayoutTexts();
}

std::vector<std::pair<QLabel*, bool>> TMainForm::LabelColumn() const {
    auto labels = pnlDirectory->LabelColumn();
    for (const auto& label : pnlEncrypt->LabelColumn()) labels.push_back(label);
    return labels;
}

std::vector<QWidget*> TMainForm::FieldColumn() const {
    auto fields = pnlDirectory->FieldColumn();
    for (QWidget* field : pnlEncrypt->FieldColumn()) fields.push_back(field);
    return fields;
}

void TMainForm::LayoutTexts() {
    // The labels left of both panels end 10 pixels before their fields and line up at the left of the
    // longest one. A label too long for the room moves the fields right rather than run off the panel.
    const int gap = ScaleValue(10);
    const auto labels = LabelColumn();
    int longest = 0;
    for (const auto& [label, measured] : labels)
        if (measured) longest = std::max(longest, label->width());
    const int designLeft = pnlEncrypt->FieldLeft() - fieldShift_ - gap - longest;
    const int shift = std::max(0, ScaleValue(kMinLabelLeft) - designLeft);
    ShiftFieldColumn(shift - fieldShift_);
    for (const auto& [label, measured] : labels)
        label->move(pnlEncrypt->FieldLeft() - gap - longest, label->y());

    pnlDirectory->PlaceSubBoxes(ScaleValue(4), ScaleValue(25));
    pnlEncrypt->FitRunButton(ScaleValue(kRunButtonPadding));
}

void TMainForm::ShiftFieldColumn(int delta) {
    if (delta == 0) return;
    fieldShift_ += delta;
    // Fields that reach the right edge keep their right end; the others move.
    for (QWidget* field : FieldColumn()) {
        const QRect g = field->geometry();
        if (Anchors(field).testFlag(TAnchor::Right)) {
            field->setGeometry(g.x() + delta, g.y(), g.width() - delta, g.height());
        } else {
            field->move(g.x() + delta, g.y());
        }
    }
}

void TMainForm::BuildLanguageMenu(QMenu* parent) {
    if (parent == nullptr) return;
    languageMenu_ = std::make_unique<lang::TLanguageMenu>(*lang::Language);
    for (const lang::TLanguageMenuEntry& entry : languageMenu_->Entries()) {
        QAction* item = parent->addAction(entry.Caption);
        item->setCheckable(true);
        item->setChecked(entry.Checked);
        connect(item, &QAction::triggered, this, [this, item] { LanguageMenuClick(item); });
        languageItems_.push_back(item);
    }
}

void TMainForm::LanguageMenuClick(QAction* item) {
    const auto found = std::find(languageItems_.cbegin(), languageItems_.cend(), item);
    if (!languageMenu_ || found == languageItems_.cend()) return;
    const std::optional<QString> langFileId =
        languageMenu_->Click(static_cast<int>(found - languageItems_.cbegin()));
    // A click flips the item's own check mark; the menu shows the current language whatever happened.
    const auto& entries = languageMenu_->Entries();
    for (std::size_t i = 0; i < languageItems_.size() && i < entries.size(); ++i)
        languageItems_[i]->setChecked(entries[i].Checked);
    if (!langFileId) return;
    settings::Settings->SetLangFileId(*langFileId);
    BroadcastScreenMessage(WM_LANGCHANGED, 0, 0, true);
}

void TMainForm::WMLangChanged() {
    ApplyFrameTexts();
    ApplyLanguage();
    UseQtDialogTexts(GetLanguageId());
    NameByTexts();
    pnlFiles->ApplyTexts();
    pnlEncrypt->LanguageChanged();
}

bool TMainForm::event(QEvent* event) {
    if (const platform::TMessageEvent* message = platform::AsMessage(event)) {
        switch (message->Msg) {
            case WM_LANGCHANGED:
                WMLangChanged();
                return true;
            default:
                break;
        }
    }
    return TBaseForm::event(event);
}

// ---------------------------------------------------------------------------------------------
// Window events

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    TBaseForm::closeEvent(event);
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the main window.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    TBaseForm::keyPressEvent(event);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    TBaseForm::resizeEvent(event);
    MakeRoundRectForm(this, kRoundCorners);
}

void TMainForm::showEvent(QShowEvent* event) {
    TBaseForm::showEvent(event);
    if (!recovered_.isEmpty() || !notRecovered_.isEmpty())
        QTimer::singleShot(0, this, &TMainForm::ShowRecoveredNow);
    if (!pathsToOpen_.isEmpty()) QTimer::singleShot(0, this, &TMainForm::OpenPathsNow);
}

void TMainForm::OpenPaths(const QStringList& paths, const QString& activationToken,
                          const QStringList& unusable) {
    pathsToOpen_ << paths;
    unusableToTell_ << unusable;
    if (!activationToken.isEmpty()) activationToken_ = activationToken;
    // Never inside the caller (a socket's handler, the start-up): an error box waits on the user.
    if (isVisible()) QTimer::singleShot(0, this, &TMainForm::OpenPathsNow);
}

void TMainForm::OpenPathsNow() {
    const QStringList paths = std::exchange(pathsToOpen_, {});
    const QStringList unusable = std::exchange(unusableToTell_, {});
    if (paths.isEmpty() && unusable.isEmpty()) return;
    BringToFront();
    if (!paths.isEmpty()) {
        platform::MsgOut(QStringLiteral("Opening %1 path(s) from the command line").arg(paths.size()));
        btnFilesClick();
        pnlFiles->AddPaths(paths);
    }
    // Told once the others are in the list.
    if (!unusable.isEmpty()) {
        platform::MsgOut(QStringLiteral("Not added, a file name cannot hold a zero byte: ") +
                         unusable.join(QStringLiteral(", ")));
        MsgBox(texts_.NotAdded + QLatin1Char('\n') + unusable.join(QLatin1Char('\n')), kMbOk, kIconFailure);
    }
}

void TMainForm::BringToFront() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    // A dialog of ours that is open stays in front of the window and takes the focus.
    QWidget* front = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this;
    raise();
    front->raise();
    if (QWindow* window = front->windowHandle())
        platform::UseActivationToken(window, std::exchange(activationToken_, {}));
    front->activateWindow();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblTitle &&
        (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        imgTopMouseMove(mouse->position().toPoint(), mouse->buttons());
    }
    return TBaseForm::eventFilter(watched, event);
}

void TMainForm::ShowRecoveredFiles(const QStringList& paths, const QStringList& notRestored) {
    if (paths.isEmpty() && notRestored.isEmpty()) return;
    recovered_ << paths;
    notRecovered_ << notRestored;
    if (isVisible()) QTimer::singleShot(0, this, &TMainForm::ShowRecoveredNow);
}

void TMainForm::ShowRecoveredNow() {
    if (recovered_.isEmpty() && notRecovered_.isEmpty()) return;
    const auto shortened = [](const QStringList& lines) {
        QStringList shown = lines.mid(0, kMaxRecoveredShown);
        if (lines.size() > kMaxRecoveredShown)
            shown << QStringLiteral("(+%1)").arg(lines.size() - kMaxRecoveredShown);
        return shown.join(QLatin1Char('\n'));
    };
    QStringList parts;
    const QStringList restored = std::exchange(recovered_, {});
    const QStringList notRestored = std::exchange(notRecovered_, {});
    if (!restored.isEmpty()) parts << texts_.Recovered + QStringLiteral("\n\n") + shortened(restored);
    if (!notRestored.isEmpty())
        parts << texts_.NotRecovered + QStringLiteral("\n\n") + shortened(notRestored);
    MsgBox(parts.join(QStringLiteral("\n\n")), kMbOk, notRestored.isEmpty() ? kIconInfo : kIconFailure);
}

}  // namespace ui
