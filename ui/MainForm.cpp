#include "ui/MainForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <limits>
#include <tuple>
#include <utility>

#include "engine/JobMessages.h"
#include "engine/JobSetUp.h"
#include "engine/KZVThread.h"
#include "engine/Trailer.h"
#include "lang/Language.h"
#include "platform/FileIo.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Utility.h"
#include "platform/WindowSystem.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"
#include "ui/Anchors.h"
#include "ui/FileListView.h"
#include "ui/GuiUtility.h"
#include "ui/LinkLabel.h"
#include "ui/OptionForm.h"
#include "ui/OruButton.h"
#include "ui/RiskWarnForm.h"
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

const QColor kBackground(191, 197, 201);
const QColor kText(70, 70, 70);
const QColor kModeIdle(62, 85, 119);
const QColor kNoteBlue(0x1D, 0x4F, 0xA8);

constexpr TAnchors kLeftTop = kAnchorsTopLeft;
constexpr TAnchors kTopRight = TAnchors(TAnchor::Top) | TAnchor::Right;
constexpr TAnchors kLeftBottom = TAnchors(TAnchor::Left) | TAnchor::Bottom;
constexpr TAnchors kRightBottom = TAnchors(TAnchor::Right) | TAnchor::Bottom;
constexpr TAnchors kLeftTopRight = kAnchorsTopLeft | TAnchor::Right;
constexpr TAnchors kLeftRightBottom = TAnchors(TAnchor::Left) | TAnchor::Right | TAnchor::Bottom;

template <class TControl>
TControl* place(TControl* control, const char* name, const QRect& bounds, TAnchors anchors) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(bounds);
    SetAnchors(control, anchors);
    return control;
}

// Blanks and control characters (codes up to 32) off both ends.
QString trimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) ++begin;
    while (end > begin && text[end - 1].unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}

QFont arial(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void setTextColor(QWidget* control, const QColor& color) {
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    control->setPalette(p);
}

// Sets a label's text and fits its width to it.
void setLabel(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

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

// The key field's eye: open while the key shows, struck through while it is hidden.
QIcon eyeIcon(bool struck) {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kModeIdle, 2.5));
    QPainterPath eye;
    eye.moveTo(3, 16);
    eye.quadTo(16, 3, 29, 16);
    eye.quadTo(16, 29, 3, 16);
    painter.drawPath(eye);
    painter.setBrush(kModeIdle);
    painter.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    if (struck) painter.drawLine(QPointF(5, 27), QPointF(27, 5));
    return QIcon(picture);
}

TOruButton* imageButton(QWidget* parent, const char* name, const QString& skin, const QRect& bounds,
                        TAnchors anchors) {
    auto* button = place(new TOruButton(parent), name, bounds, anchors);
    button->SetSkin(skin);
    return button;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : TBaseForm(parent), liveTimer_(this) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(settings::DisplayName());
    setWindowIcon(QIcon(SkinPixmap(QStringLiteral("logo"))));
    resize(kDesignWidth, kDesignHeight);
    setMinimumSize(kMinWidth, kMinHeight + kKeyBandHeight);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, kBackground);
    p.setColor(QPalette::WindowText, kText);
    setPalette(p);
    setFont(arial(12));

    BuildTitleBar();
    BuildFilesPanel();
    BuildDirectoriesPanel();
    BuildRunPanel();
    BuildMenus();
    ApplyTextRows(*this, MainFormTexts(), EnglishText, &texts_);
    PlaceByTexts();
    ShowKeyAsChosen();

    liveTimer_.setSingleShot(true);
    connect(&liveTimer_, &QTimer::timeout, this, &TMainForm::PaintProgress);
    appHook_ = new TAppMessageHook(
        this, [this](QObject* receiver, QEvent* event) { return AppMessage(receiver, event); });
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

    lblTitle = place(new QLabel(windowTitle(), this), "lblTitle", {71, 5, 300, 18}, kLeftTop);
    lblTitle->setFont(arial(13, true));
    setTextColor(lblTitle, Qt::white);
    lblTitle->adjustSize();
    lblTitle->installEventFilter(this);

    btnMin = imageButton(this, "btnMin", QStringLiteral("min"), {633, 3, 23, 18}, kTopRight);
    btnClose = imageButton(this, "btnClose", QStringLiteral("close"), {656, 3, 28, 18}, kTopRight);
    btnHelp = imageButton(this, "btnHelp", QStringLiteral("help"), {621, 38, 57, 25}, kTopRight);
    btnHelp->SetCaptionColor(Qt::white);
    btnHelp->SetStretch(true, 5, 5);

    lblSIBP =
        place(new TLinkLabel(QStringLiteral("Orrelguard >>"), this), "lblSIBP", {0, 5, 100, 16}, kTopRight);
    setTextColor(lblSIBP, Qt::white);
    lblSIBP->adjustSize();
    lblSIBP->move(btnMin->x() - 27 - lblSIBP->width(), 5);

    btnFiles = imageButton(this, "btnFiles", QStringLiteral("tab_left"), {76, 42, 134, 35}, kLeftTop);
    btnDirectory =
        imageButton(this, "btnDirectory", QStringLiteral("tab_right"), {210, 42, 134, 35}, kLeftTop);
    for (TOruButton* mode : {btnFiles, btnDirectory}) {
        mode->setFont(arial(16));
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

// The tool buttons and the file list.
void TMainForm::BuildFilesPanel() {
    pnlFiles = place(new QWidget(this), "pnlFiles", {8, 84, 672, 205}, kAnchorsAll);
    btnAdd = imageButton(pnlFiles, "btnAdd", QStringLiteral("tool_add"), {52, 14, 26, 28}, kLeftTop);
    btnDelete = imageButton(pnlFiles, "btnDelete", QStringLiteral("tool_delete"), {52, 42, 26, 28}, kLeftTop);
    btnClear = imageButton(pnlFiles, "btnClear", QStringLiteral("tool_clear"), {52, 70, 26, 28}, kLeftTop);
    btnRefresh =
        imageButton(pnlFiles, "btnRefresh", QStringLiteral("tool_refresh"), {52, 98, 26, 28}, kLeftTop);

    model_ = new TFileListModel(this);
    lvFiles = place(new TFileListView(pnlFiles), "lvFiles", {84, 16, 553, 177}, kAnchorsAll);
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

    connect(btnAdd, &TOruButton::clicked, this, [this] { btnAddClick(btnAdd); });
    connect(btnDelete, &TOruButton::clicked, this, &TMainForm::btnDeleteClick);
    connect(btnClear, &TOruButton::clicked, this, &TMainForm::btnClearClick);
    connect(btnRefresh, &TOruButton::clicked, this, &TMainForm::btnRefreshClick);
    connect(lvFiles, &QAbstractItemView::doubleClicked, this, &TMainForm::lvFilesDblClick);
    connect(lvFiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        pmListviewPopup();
        pmListview->popup(lvFiles->viewport()->mapToGlobal(pos));
    });
}

// Three rows of label, folder drop-down, browse and locate buttons, and the subdirectory box.
void TMainForm::BuildDirectoriesPanel() {
    constexpr int kFirstRowTop = 24;
    constexpr int kRowStep = 62;
    pnlDirectory = place(new QWidget(this), "pnlDirectory", {8, 84, 672, 205}, kLeftTopRight);
    pnlDirectory->hide();
    const std::array<QLabel**, 3> labels{&Label2, &Label4, &Label6};
    const std::array<QComboBox**, 3> paths{&cbPath, &cbPath2, &cbPath3};
    const std::array<TOruButton**, 3> browse{&btnPath, &btnPath2, &btnPath3};
    const std::array<TOruButton**, 3> locate{&btnLocate, &btnLocate2, &btnLocate3};
    const std::array<QCheckBox**, 3> subs{&cbxSub, &cbxSub2, &cbxSub3};
    const std::array<const char*, 3> labelNames{"Label2", "Label4", "Label6"};
    const std::array<const char*, 3> pathNames{"cbPath", "cbPath2", "cbPath3"};
    const std::array<const char*, 3> browseNames{"btnPath", "btnPath2", "btnPath3"};
    const std::array<const char*, 3> locateNames{"btnLocate", "btnLocate2", "btnLocate3"};
    const std::array<const char*, 3> subNames{"cbxSub", "cbxSub2", "cbxSub3"};
    // Rows 2 and 3 read like row 1 ("Directory 2", "Directory 3"): only row 1's label is measured.
    for (std::size_t row = 0; row < 3; ++row) {
        const int top = kFirstRowTop + kRowStep * static_cast<int>(row);
        *labels[row] = InLabelColumn(
            place(new QLabel(pnlDirectory), labelNames[row], {16, top + 4, 64, 16}, kLeftTop), row == 0);
        QComboBox* box = *paths[row] = InFieldColumn(
            place(new QComboBox(pnlDirectory), pathNames[row], {84, top, 503, 24}, kLeftTopRight));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMaxVisibleItems(settings::kMaxHistoryPaths);
        *browse[row] = imageButton(pnlDirectory, browseNames[row], QStringLiteral("path_browse"),
                                   {589, top, 24, 24}, kTopRight);
        *locate[row] = imageButton(pnlDirectory, locateNames[row], QStringLiteral("path_locate"),
                                   {613, top, 24, 24}, kTopRight);
        // Placed under the drop-down's right end once its text is known.
        *subs[row] = place(new QCheckBox(pnlDirectory), subNames[row], {84, top + 27, 160, 20}, kTopRight);

        const int index = static_cast<int>(row);
        connect(*browse[row], &TOruButton::clicked, this, [this, index] { btnPathClick(index); });
        connect(*locate[row], &TOruButton::clicked, this, [this, index] { btnLocateClick(index); });
    }
}

// The key band, the target, the summary with its detail links, the run button and the progress bar,
// laid out with the key band open.
void TMainForm::BuildRunPanel() {
    pnlEncrypt = place(new QWidget(this), "pnlEncrypt", {8, 289, 672, 266}, kLeftRightBottom);
    cbxKey = InFieldColumn(place(new QCheckBox(pnlEncrypt), "cbxKey", {84, 10, 300, 20}, kLeftTop));
    edtKey = InFieldColumn(place(new QLineEdit(pnlEncrypt), "edtKey", {84, 34, 280, 24}, kLeftTop));
    edtKey->setMaxLength(static_cast<int>(engine::kMaxKeyBytes));
    // Shown by default; hidden from someone looking at the screen on demand, for this session.
    actShowKey = edtKey->addAction(eyeIcon(false), QLineEdit::TrailingPosition);
    actShowKey->setObjectName(QStringLiteral("actShowKey"));
    actShowKey->setCheckable(true);
    actShowKey->setChecked(true);
    lblKey = InFieldColumn(place(new QLabel(pnlEncrypt), "lblKey", {84, 62, 500, 16}, kLeftTop));
    setTextColor(lblKey, kNoteBlue);

    Label3 = InLabelColumn(place(new QLabel(pnlEncrypt), "Label3", {16, 98, 60, 16}, kLeftBottom));
    cbFileType =
        InFieldColumn(place(new QComboBox(pnlEncrypt), "cbFileType", {84, 94, 280, 24}, kLeftBottom));
    cbFileType->addItems({QString(), QString(), QString()});  // both, only encrypted, only unencrypted
    cbFileType->setCurrentIndex(0);

    Label1 = InLabelColumn(place(new QLabel(pnlEncrypt), "Label1", {16, 132, 60, 16}, kLeftBottom));
    const auto summaryLabel = [this](const char* name, int top) {
        return InFieldColumn(place(new QLabel(pnlEncrypt), name, {84, top, 200, 16}, kLeftBottom));
    };
    lblEncrypted = summaryLabel("lblEncrypted", 132);
    lblDecrypted = summaryLabel("lblDecrypted", 154);
    lblFailed = summaryLabel("lblFailed", 176);
    lblSize = summaryLabel("lblSize", 198);
    lblTime = summaryLabel("lblTime", 220);
    // Each placed after its summary line once that has its text.
    const auto detailLink = [this](const char* name, const QLabel* of) {
        auto* link = InFieldColumn(
            place(new TLinkLabel(QString(), pnlEncrypt), name, {84, of->y(), 60, 16}, kLeftBottom));
        setTextColor(link, kNoteBlue);
        link->hide();
        return link;
    };
    lblDetail1 = detailLink("lblDetail1", lblEncrypted);
    lblDetail2 = detailLink("lblDetail2", lblDecrypted);
    lblDetail3 = detailLink("lblDetail3", lblFailed);

    btnEncrypt =
        imageButton(pnlEncrypt, "btnEncrypt", QStringLiteral("run"), {457, 176, 180, 44}, kRightBottom);
    btnEncrypt->SetStretch(true, 8, 8);
    btnEncrypt->SetCaptionColor(Qt::white);
    btnEncrypt->setFont(arial(15, true));

    ProgressBar1 = InFieldColumn(
        place(new QProgressBar(pnlEncrypt), "ProgressBar1", {84, 244, 553, 10}, kLeftRightBottom));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #8A98A8; border-radius: 4px; background: #E9EDF1; }"
                       "QProgressBar::chunk { background: #3F7FD0; border-radius: 3px; }"));
    ProgressBar1->hide();

    connect(btnEncrypt, &TOruButton::clicked, this, &TMainForm::btnEncryptClick);
    connect(cbFileType, &QComboBox::currentIndexChanged, this, &TMainForm::cbFileTypeChange);
    connect(cbxKey, &QCheckBox::toggled, this, &TMainForm::cbxKeyClick);
    connect(actShowKey, &QAction::toggled, this, &TMainForm::ShowKeyAsChosen);
    connect(lblDetail1, &TLinkLabel::clicked, this, &TMainForm::lblDetail1Click);
    connect(lblDetail2, &TLinkLabel::clicked, this, &TMainForm::lblDetail2Click);
    connect(lblDetail3, &TLinkLabel::clicked, this, &TMainForm::lblDetail3Click);
}

// The file list's context menu and the Help menu with its Languages submenu.
void TMainForm::BuildMenus() {
    const QString menuStyle = QStringLiteral(
        "QMenu { background: rgb(249, 248, 247); border: 1px solid #8A98A8; padding: 3px 0; }"
        "QMenu::item { padding: 5px 28px 5px 22px; color: rgb(40, 40, 40); }"
        "QMenu::item:selected { background: #DCE7F5; }"
        "QMenu::item:disabled { color: rgb(160, 160, 160); }"
        "QMenu::separator { height: 1px; background: #D0D6DC; margin: 4px 8px; }");
    const auto menu = [this, &menuStyle](const char* name, QWidget* parent) {
        auto* made = new QMenu(parent);
        made->setObjectName(QLatin1String(name));
        made->setStyleSheet(menuStyle);
        // Menus are windows of their own: they take the window's font only when given it.
        made->setFont(font());
        return made;
    };
    const auto item = [](QMenu* in, const char* name) {
        QAction* action = in->addAction(QString());
        action->setObjectName(QLatin1String(name));
        return action;
    };
    pmListview = menu("pmListview", this);
    pmiOpen = item(pmListview, "pmiOpen");
    pmiLocate = item(pmListview, "pmiLocate");

    pmHelp = menu("pmHelp", this);
    pmiHome = item(pmHelp, "pmiHome");
    pmiHelp = item(pmHelp, "pmiHelp");
    pmiLanguageMenu = menu("pmiLanguageMenu", pmHelp);
    pmiLanguage = pmHelp->addMenu(pmiLanguageMenu);
    pmiLanguage->setObjectName(QStringLiteral("pmiLanguage"));
    pmHelp->addSeparator();
    pmiLog = item(pmHelp, "pmiLog");
    pmiLog->setVisible(false);
    pmiOption = item(pmHelp, "pmiOption");

    connect(pmiOpen, &QAction::triggered, this, &TMainForm::pmiOpenClick);
    connect(pmiLocate, &QAction::triggered, this, &TMainForm::pmiLocateClick);
    connect(pmiHome, &QAction::triggered, this, &TMainForm::pmiHomeClick);
    connect(pmiHelp, &QAction::triggered, this, &TMainForm::pmiHelpClick);
    connect(pmiLog, &QAction::triggered, this, &TMainForm::pmiLogClick);
    connect(pmiOption, &QAction::triggered, this, &TMainForm::pmiOptionClick);
}

void TMainForm::PlaceByTexts() {
    // The subdirectory boxes right-aligned under the drop-downs' right end.
    for (QCheckBox* sub : SubBoxes()) {
        sub->adjustSize();
        sub->setGeometry(cbPath->x() + cbPath->width() + 4 - sub->width(), sub->y(), sub->width(), 20);
    }
    for (auto [link, of] : {std::pair{lblDetail1, lblEncrypted}, std::pair{lblDetail2, lblDecrypted},
                            std::pair{lblDetail3, lblFailed}})
        link->move(of->x() + of->width() + 2, of->y());
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(appHook_);
    try {
        settings::Settings->Save(true);
    } catch (const std::exception& e) {
        // The settings could not be written: say so rather than lose them silently.
        platform::MsgOut(QStringLiteral("Saving the settings failed: ") + platform::FromLocal8Bit(e.what()));
        MsgBox(platform::FromLocal8Bit(e.what()), kMbOk, kIconFailure);
    }
    FJob.reset();  // waits for the file in hand
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

std::unique_ptr<TMainForm> CreateMainForm(const QStringList& recovered, const QStringList& notRecovered) {
    auto form = CreateForm<TMainForm>();
    // What start-up recovery put back is told once, when the window has appeared.
    form->ShowRecoveredFiles(recovered, notRecovered);
    return form;
}

void TMainForm::FormCreate() {
    TBaseForm::FormCreate();
    setLabel(lblTitle, settings::DisplayName());
    MakeRoundRectForm(this, kRoundCorners);
    LoadHistoryPaths();
    BuildFileFilter();
    OpenKeyBand(false);
    qApp->installEventFilter(appHook_);
    lblSIBP->setVisible(settings::Settings->ShowSIBP());
    BuildLanguageMenu(pmiLanguageMenu);
    // Without any language file to offer, the item stays hidden.
    pmiLanguage->setVisible(!pmiLanguageMenu->isEmpty());
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
// Files and directories

bool TMainForm::FilesMode() const {
    return !pnlFiles->isHidden();
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

void TMainForm::btnAddClick(QObject* sender) {
    if (sender == btnAdd) {
        std::optional<QStringList> chosen = OpenFilesDialog(this, fileFilter_);
        if (!chosen) return;
        odFilesList = std::move(*chosen);
    }
    std::vector<TFileRow> rows;
    rows.reserve(static_cast<std::size_t>(odFilesList.size()));
    QString failure;
    for (const QString& path : odFilesList) {
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

void TMainForm::btnDeleteClick() {
    std::vector<int> rows;
    for (const QModelIndex& index : lvFiles->selectionModel()->selectedRows()) rows.push_back(index.row());
    model_->Remove(std::move(rows));
    FListChanged = true;
}

void TMainForm::btnClearClick() {
    model_->Clear();
    FListChanged = true;
}

void TMainForm::btnRefreshClick() {
    for (int row = 0; row < model_->Count(); ++row) RefreshItemState(row);
}

void TMainForm::RefreshItemState(int index) {
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

int TMainForm::FocusedRow() const {
    const QModelIndex current = lvFiles->currentIndex();
    return current.isValid() && current.row() < model_->Count() ? current.row() : -1;
}

int TMainForm::FocusedSelectedRow() const {
    const int row = FocusedRow();
    return row >= 0 && lvFiles->selectionModel()->isRowSelected(row, {}) ? row : -1;
}

void TMainForm::pmListviewPopup() {
    const bool enabled = FocusedSelectedRow() >= 0;
    pmiLocate->setEnabled(enabled);
    pmiOpen->setEnabled(enabled);
}

void TMainForm::lvFilesDblClick() {
    if (const int row = FocusedSelectedRow(); row >= 0) RunFile(model_->Path(row));
}

void TMainForm::pmiOpenClick() {
    if (const int row = FocusedRow(); row >= 0) RunFile(model_->Path(row));
}

void TMainForm::pmiLocateClick() {
    if (const int row = FocusedRow(); row >= 0) OpenFileDir(model_->Path(row), false);
}

void TMainForm::btnPathClick(int row) {
    QComboBox* box = PathBoxes().at(static_cast<std::size_t>(row));
    const QString chosen = SelectPath(texts_.SelectDir, QString(), trimControls(box->currentText()));
    if (!chosen.isEmpty()) box->setEditText(chosen);
}

void TMainForm::btnLocateClick(int row) {
    const QString folder = trimControls(PathBoxes().at(static_cast<std::size_t>(row))->currentText());
    if (!folder.isEmpty()) OpenDir(folder, false);
}

void TMainForm::LoadHistoryPaths() {
    const settings::TStringsObj* history = settings::Settings->HistoryPaths();
    QStringList entries;
    for (int i = 0; i < history->Count(); ++i) entries << history->Strings(i);
    for (QComboBox* box : PathBoxes()) {
        const QString typed = box->currentText();
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(entries);
        box->setCurrentIndex(-1);
        box->setEditText(typed);
    }
}

void TMainForm::BuildFileFilter() {
    QString filter = texts_.FileFilter;
    filter.replace(QStringLiteral("%s"), settings::Settings->GetVideoMask());
    fileFilter_ = ToQtFilter(filter);
}

bool TMainForm::AppMessage(QObject* receiver, QEvent* event) {
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

// ---------------------------------------------------------------------------------------------
// Help menu and title bar

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
// Run control

bool TMainForm::IsJobRunning() const {
    return FJob && FJob->Running();
}

QString TMainForm::RunCaption() const {
    switch (cbFileType->currentIndex()) {
        case 0:
            return texts_.EncryptDecrypt;
        case 1:
            return texts_.Decrypt;
        default:
            return texts_.Encrypt;
    }
}

engine::TJobTexts TMainForm::JobTexts() const {
    return texts_.JobTexts(GetLanguageId() == QStringLiteral("Chinese"));
}

void TMainForm::btnEncryptClick() {
    if (IsJobRunning()) {
        FJob->Terminate();  // the file in hand is finished or put back, then the job reports the cancel
        // Taken: until the job has ended, the button shows that a further press does nothing more.
        btnEncrypt->setEnabled(false);
        return;
    }
    for (QComboBox* box : PathBoxes()) box->setEditText(trimControls(box->currentText()));
    const bool filesMode = FilesMode();
    if (filesMode && model_->Count() == 0) {
        MsgBox(texts_.AddFile, kMbOk, kIconInfo);
        return;
    }
    const auto paths = PathBoxes();
    if (!filesMode && std::all_of(paths.begin(), paths.end(),
                                  [](QComboBox* box) { return box->currentText().isEmpty(); })) {
        MsgBox(texts_.AddDir, kMbOk, kIconInfo);
        return;
    }
    if (settings::Settings->ShowRiskWarn() && !ShowRiskWarning()) return;

    FJob.reset();
    FJob = std::make_unique<engine::TKZVThread>();
    engine::SetUpJob(
        *FJob, {.Key = cbxKey->isChecked() ? platform::ToLocal8Bit(edtKey->text()) : std::string(),
                .FileType = static_cast<std::uint8_t>(std::max(0, cbFileType->currentIndex())),
                .Blocks = settings::Settings->Blocks(),
                .KeepFileTime = settings::Settings->KeepFileTime(),
                .RemoveThumbnails = settings::Settings->RemoveThumbnails(),
                .WholeStreams = settings::Settings->WholeStreams(),
                .JournalFolder = platform::ToLocal8Bit(settings::JournalFolder()),  // every toggle crash-safe
                .NotifyWnd = this});

    laterAgain_.clear();
    refreshAtEnd_.clear();
    if (filesMode) {
        FJob->FileList.reserve(static_cast<std::size_t>(model_->Count()));
        QHash<QString, int> last;
        last.reserve(model_->Count());
        for (int row = 0; row < model_->Count(); ++row) {
            FJob->FileList.push_back(platform::ToLocal8Bit(model_->Path(row)));
            last.insert(model_->Path(row), row);
        }
        laterAgain_.resize(static_cast<std::size_t>(model_->Count()));
        for (int row = 0; row < model_->Count(); ++row)
            laterAgain_[static_cast<std::size_t>(row)] = last.value(model_->Path(row)) != row;
    } else {
        // The job searches the folders itself: a large tree or a slow disk takes minutes to walk,
        // which here would freeze the window with no way to stop it.
        FJob->SearchMask = platform::ToLocal8Bit(settings::Settings->GetVideoMask());
        const auto subs = SubBoxes();
        for (std::size_t row = 0; row < paths.size(); ++row) {
            const QString folder = paths[row]->currentText();
            if (!folder.isEmpty())
                FJob->SearchFolders.push_back({platform::ToLocal8Bit(folder), subs[row]->isChecked()});
        }
    }
    FJobFromList = filesMode;
    FListChanged = false;
    ResetSummary();
    if (!filesMode) setLabel(lblEncrypted, SearchingText(0));
    for (auto row = paths.rbegin(); row != paths.rend(); ++row)
        settings::Settings->AddHistoryPath((*row)->currentText());
    LoadHistoryPaths();

    live_ = {};
    lastLivePaint_ = platform::GetTickCount() - kLivePaintMs;
    FStartTicks = platform::GetTickCount();
    FJob->Resume();
}

void TMainForm::ResetSummary() {
    btnEncrypt->SetCaption(texts_.Cancel);
    for (QLabel* link : {lblDetail1, lblDetail2, lblDetail3}) link->hide();
    setLabel(lblEncrypted, texts_.Encrypted);
    setLabel(lblDecrypted, texts_.Decrypted);
    setLabel(lblFailed, texts_.Failed);
    setLabel(lblSize, texts_.Size);
    setLabel(lblTime, texts_.Time);
}

void TMainForm::ShowSummary() {
    if (!FJob) return;
    const engine::TJobTexts texts = JobTexts();
    const auto count = [](std::size_t n) { return QStringLiteral("%1 ").arg(n); };
    setLabel(lblEncrypted, texts_.Encrypted + count(FJob->EncryptedList.size()));
    setLabel(lblDecrypted, texts_.Decrypted + count(FJob->DecryptedList.size()));
    setLabel(lblFailed, texts_.Failed + count(FJob->FailedList.size()));
    setLabel(lblSize, texts_.Size + engine::FormatByteSize(FJob->TotalBytes, texts));
    setLabel(lblTime, texts_.Time + engine::FormatElapsed(FJob->Ticks, texts));
    const std::array<std::pair<TLinkLabel*, std::pair<QLabel*, bool>>, 3> links{{
        {lblDetail1, {lblEncrypted, !FJob->EncryptedList.empty()}},
        {lblDetail2, {lblDecrypted, !FJob->DecryptedList.empty()}},
        {lblDetail3, {lblFailed, !FJob->FailedList.empty()}},
    }};
    for (const auto& [link, of] : links) {
        link->move(of.first->x() + of.first->width() + 2, of.first->y());
        link->setVisible(of.second);
    }
}

void TMainForm::cbFileTypeChange() {
    if (!IsJobRunning()) btnEncrypt->SetCaption(RunCaption());
}

void TMainForm::cbxKeyClick() {
    OpenKeyBand(cbxKey->isChecked());
    if (cbxKey->isChecked() && isVisible()) edtKey->setFocus();  // ready for typing the key
}

void TMainForm::ShowKeyAsChosen() {
    const bool shown = actShowKey->isChecked();
    edtKey->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    actShowKey->setIcon(eyeIcon(!shown));
    actShowKey->setToolTip(shown ? texts_.HideKey : texts_.ShowKey);
}

void TMainForm::OpenKeyBand(bool open) {
    edtKey->setVisible(open);
    lblKey->setVisible(open);
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

QString TMainForm::WriteDetailFile(int which) const {
    static const std::array<const char*, 3> names{"Encrypted.txt", "Decrypted.txt", "Failed.txt"};
    if (!FJob || which < 1 || which > 3) return {};
    const QString folder = settings::AppDataFolder();
    QDir().mkpath(folder);
    const QString path = folder + QLatin1String(names[static_cast<std::size_t>(which - 1)]);
    QByteArray text;
    const auto line = [&text](const std::string& bytes) {
        text.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
        text.append("\r\n");
    };
    if (which == 1) {
        for (const std::string& entry : FJob->EncryptedList) line(entry);
    } else if (which == 2) {
        for (const std::string& entry : FJob->DecryptedList) line(entry);
    } else {
        const engine::TJobTexts texts = JobTexts();
        for (const engine::TFailedFile& failed : FJob->FailedList)
            line(platform::ToLocal8Bit(engine::FailedLine(platform::FromLocal8Bit(failed.Path), failed.Code,
                                                          texts, platform::FromLocal8Bit(failed.Reason))));
    }
    if (QString problem; !platform::IsReplaceableFile(path, &problem))
        platform::RaiseError(
            platform::ToLocal8Bit(QStringLiteral("Cannot write \"%1\": %2").arg(path, problem)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        platform::RaiseError(
            platform::ToLocal8Bit(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString())));
    return path;
}

void TMainForm::OpenDetailFile(int which) const {
    QString path;
    try {
        path = WriteDetailFile(which);
    } catch (const std::exception& e) {
        MsgBox(platform::FromLocal8Bit(e.what()), kMbOk, kIconFailure);
        return;
    }
    if (!path.isEmpty()) RunFile(path);
}

void TMainForm::lblDetail1Click() {
    OpenDetailFile(1);
}
void TMainForm::lblDetail2Click() {
    OpenDetailFile(2);
}
void TMainForm::lblDetail3Click() {
    OpenDetailFile(3);
}

bool TMainForm::FormCloseQuery() {
    if (!IsJobRunning()) return true;
    closeQuestionOpen_ = true;
    jobEndedDuringQuestion_ = false;
    const int answer = MsgBox(texts_.StopNow, kMbYesNo, kIconQuestion);
    closeQuestionOpen_ = false;
    // The job ended while the question was open: nothing is left to stop, and the window closes as the
    // user asked.
    if (jobEndedDuringQuestion_) return true;
    if (answer != kIdYes) return false;
    // The job finishes or puts back the file in hand and says nothing more; destroying the window
    // waits for it.
    FJob->Quiet = true;
    FJob->Terminate();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Language

void TMainForm::ApplyLanguage() {
    if (!IsLanguageLoaded()) return;
    // Every key is applied: one that the language file lacks leaves its text empty.
    ApplyTextRows(
        *this, MainFormTexts(), [this](const TTextRow& row) { return Translate(QLatin1String(row.Key)); },
        &texts_);
    ShowKeyAsChosen();
    LayoutTexts();
}

void TMainForm::LayoutTexts() {
    // The labels left of both panels end 10 pixels before their fields and line up at the left of the
    // longest one. A label too long for the room moves the fields right rather than run off the panel.
    const int gap = ScaleValue(10);
    int longest = 0;
    for (const auto& [label, measured] : labelColumn_)
        if (measured) longest = std::max(longest, label->width());
    const int designLeft = cbFileType->x() - fieldShift_ - gap - longest;
    const int shift = std::max(0, ScaleValue(kMinLabelLeft) - designLeft);
    ShiftFieldColumn(shift - fieldShift_);
    for (const auto& [label, measured] : labelColumn_)
        label->move(cbFileType->x() - gap - longest, label->y());

    // The subdirectory boxes stay right-aligned under the drop-downs' right end.
    const int subWidth = std::max(ScaleValue(25) + fontMetrics().horizontalAdvance(cbxSub->text()),
                                  cbxSub->sizeHint().width());
    const int subLeft = cbPath->x() + cbPath->width() + ScaleValue(4) - subWidth;
    for (QCheckBox* sub : SubBoxes()) sub->setGeometry(subLeft, sub->y(), subWidth, sub->height());

    // The run button grows to the left when one of its captions would not fit.
    if (runButtonWidth_ == 0) runButtonWidth_ = btnEncrypt->width();
    const QFontMetrics runFont(btnEncrypt->font());
    int needed = 0;
    for (const QString* caption : {&texts_.EncryptDecrypt, &texts_.Decrypt, &texts_.Encrypt, &texts_.Cancel})
        needed = std::max(needed, runFont.horizontalAdvance(*caption) + 2 * ScaleValue(kRunButtonPadding));
    const int runWidth = std::max(runButtonWidth_, needed);
    const int runRight = btnEncrypt->x() + btnEncrypt->width();
    btnEncrypt->setGeometry(runRight - runWidth, btnEncrypt->y(), runWidth, btnEncrypt->height());
}

void TMainForm::ShiftFieldColumn(int delta) {
    if (delta == 0) return;
    fieldShift_ += delta;
    // Fields that reach the right edge keep their right end; the others move.
    for (QWidget* field : fieldColumn_) {
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
    ApplyLanguage();
    BuildFileFilter();
    if (model_->Count() == 0) lvFiles->viewport()->update();  // the hint in the new language
    for (QLabel* link : {lblDetail1, lblDetail2, lblDetail3}) link->hide();
    btnEncrypt->SetCaption(IsJobRunning() ? texts_.Cancel : RunCaption());
}

// ---------------------------------------------------------------------------------------------
// Job messages

bool TMainForm::event(QEvent* event) {
    if (const engine::TJobMessage* job = engine::AsJobMessage(event)) {
        std::visit(platform::TOverloaded{[this](const engine::TJobFinished& m) { OnJobFinished(m); },
                                         [this](const engine::TJobError& m) { OnJobError(m); },
                                         [this](const engine::TJobProgress& m) { OnJobProgress(m); },
                                         [this](const engine::TJobCounts& m) { OnJobCounts(m); },
                                         [this](const engine::TJobFailedSize& m) { OnJobFailedSize(m); },
                                         [this](const engine::TJobSearching& m) { OnJobSearching(m); },
                                         [this](const engine::TJobFileProgress& m) { OnJobFileProgress(m); }},
                   *job);
        return true;
    }
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

void TMainForm::OnJobProgress(const engine::TJobProgress& progress) {
    const std::size_t index = progress.Index;
    live_.index = index;
    live_.count = static_cast<std::intptr_t>(progress.Count);
    live_.progress = true;
    live_.inFile = false;
    if (FJobFromList && !FListChanged && static_cast<std::size_t>(model_->Count()) == progress.Count &&
        index < laterAgain_.size()) {
        if (laterAgain_[index])
            refreshAtEnd_.push_back(static_cast<int>(index));
        else
            RefreshItemState(static_cast<int>(index));
    }
    ScheduleLivePaint();
}

void TMainForm::OnJobCounts(const engine::TJobCounts& counts) {
    live_.encrypted = counts.Encrypted;
    live_.decrypted = static_cast<std::intptr_t>(counts.Decrypted);
    live_.counts = true;
    ScheduleLivePaint();
}

void TMainForm::OnJobFailedSize(const engine::TJobFailedSize& failedSize) {
    live_.failed = failedSize.Failed;
    live_.mib = failedSize.Mib;
    live_.failedSize = true;
    ScheduleLivePaint();
}

void TMainForm::OnJobFileProgress(const engine::TJobFileProgress& progress) {
    live_.fileIndex = progress.Index;
    live_.count = static_cast<std::intptr_t>(progress.Count);
    live_.fileDone = progress.Done;
    live_.fileTotal = progress.Total;
    live_.inFile = progress.Total > 0;
    ScheduleLivePaint();
}

void TMainForm::OnJobSearching(const engine::TJobSearching& searching) {
    live_.found = searching.Found;
    live_.searching = true;
    ScheduleLivePaint();
}

QString TMainForm::SearchingText(std::size_t found) const {
    return QString(texts_.Searching).replace(QStringLiteral("%d"), QLocale().toString(qulonglong{found}));
}

// Thousands of messages a second may arrive; the display follows them at most every kLivePaintMs, so
// the window keeps pace with the job and stays free to repaint. The first message after a pause shows
// at once.
void TMainForm::ScheduleLivePaint() {
    const std::uint32_t since = platform::GetTickCount() - lastLivePaint_;
    if (since >= kLivePaintMs) {
        PaintProgress();
    } else if (!liveTimer_.isActive()) {
        liveTimer_.start(static_cast<int>(kLivePaintMs - since));
    }
}

void TMainForm::PaintProgress() {
    liveTimer_.stop();
    lastLivePaint_ = platform::GetTickCount();
    // Until the first file is done, the search is what there is to show.
    const bool searchOnly = live_.searching && !live_.counts;
    if (searchOnly) setLabel(lblEncrypted, SearchingText(live_.found));
    if (live_.progress || live_.inFile) {
        // Each file a stretch of the bar, so that a long toggle moves it within its stretch.
        const qint64 count = std::max<qint64>(live_.count, 1);
        const qint64 stretch = std::clamp<qint64>(std::numeric_limits<int>::max() / count, 1, 1000);
        qint64 value = (static_cast<qint64>(live_.index) + 1) * stretch;  // the files done
        if (live_.inFile) {
            const qint64 done = std::clamp<qint64>(live_.fileDone, 0, live_.fileTotal);
            value = static_cast<qint64>(live_.fileIndex) * stretch + stretch * done / live_.fileTotal;
        }
        ProgressBar1->setMaximum(static_cast<int>(count * stretch));
        ProgressBar1->setValue(static_cast<int>(value));
        ProgressBar1->show();
    }
    if (live_.counts) {
        setLabel(lblEncrypted, texts_.Encrypted + QStringLiteral("%1 ").arg(live_.encrypted));
        setLabel(lblDecrypted, texts_.Decrypted + QStringLiteral("%1 ").arg(live_.decrypted));
    }
    if (live_.failedSize) {
        setLabel(lblFailed, texts_.Failed + QStringLiteral("%1 ").arg(live_.failed));
        setLabel(lblSize, texts_.Size + engine::FormatMegabytes(static_cast<std::int32_t>(live_.mib)));
    }
    // The time runs on while the job searches or works through a long file, not only file by file.
    if (searchOnly || live_.failedSize || live_.inFile)
        setLabel(lblTime,
                 texts_.Time + engine::FormatElapsed(platform::GetTickCount() - FStartTicks, JobTexts()));
    // Painted now: a queued repaint would wait behind the job's messages, which keep coming.
    if (pnlEncrypt->isVisible()) pnlEncrypt->repaint();
}

void TMainForm::OnJobError(const engine::TJobError& error) {
    if (!FJob) return;
    MsgBox(error.Text, kMbOk, kIconJobError);
}

void TMainForm::OnJobFinished(const engine::TJobFinished& finished) {
    if (!FJob) return;
    FJob->wait();  // the worker only returns after this message: from here on the job counts as ended
    liveTimer_.stop();
    if (FJobFromList && !FListChanged && static_cast<std::size_t>(model_->Count()) == FJob->FileList.size()) {
        for (int row : refreshAtEnd_) RefreshItemState(row);
    }
    refreshAtEnd_.clear();
    laterAgain_.clear();
    ShowSummary();
    btnEncrypt->SetCaption(RunCaption());
    btnEncrypt->setEnabled(true);
    ProgressBar1->hide();
    if (closeQuestionOpen_ || FJob->Quiet) {
        // The user is closing the window: the question whether to stop no longer applies, and no end
        // message follows.
        FJobFromList = false;
        jobEndedDuringQuestion_ = closeQuestionOpen_;
        if (closeQuestionOpen_) DismissMsgBox();
        return;
    }
    // Failed files were left as they were: "Finished!" alone would read as if every file had changed.
    const std::size_t failed = FJob->FailedList.size();
    QString status = texts_.Finished;
    int icon = kIconInfo;
    if (finished.Canceled) {
        status = texts_.Canceled;
    } else if (failed > 0) {
        status = texts_.FinishedFailed;
        status.replace(QStringLiteral("%d"), QString::number(failed));
        icon = kIconFailure;
    }
    MsgBox(status + QStringLiteral("\n") + texts_.Time + engine::FormatElapsed(FJob->Ticks, JobTexts()),
           kMbOk, icon);
    FJobFromList = false;
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
        odFilesList = VideosAmong(paths);
        if (!odFilesList.isEmpty()) btnAddClick(nullptr);
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
