#include "ui/OptionForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

#include "platform/Utility.h"
#include "settings/KZVConfig.h"
#include "ui/Anchors.h"
#include "ui/GuiUtility.h"
#include "ui/OruButton.h"
#include "ui/WindowTexts.h"

namespace ui {

namespace {

using settings::kMaxBlocks;
using settings::kMinBlocks;
constexpr int kWheelNotch = 120;  // angle delta of one notch of a mouse wheel

// Placement on the extension panel, in design pixels.
constexpr int kGroupLeft = 16;
constexpr int kFirstGroupTop = 16;
constexpr int kMemberLeft = 34;
constexpr int kMemberStep = 80;
constexpr int kMemberWidth = 79;
constexpr int kMembersPerRow = 5;
constexpr int kFirstRowBelowGroup = 30;
constexpr int kRowStep = 32;
constexpr int kNextGroupBelowRow = 42;
constexpr int kBoxHeight = 17;
constexpr int kPanelWidth = 441;

// The rows under the extension list, in design pixels: where each starts at the least, and the room
// kept when a text of more lines pushes the rows below it down.
constexpr int kFieldAfterLabel = 13;
constexpr int kNoteAfterField = 8;
constexpr int kNoteTop = 368;
constexpr int kFirstOptionTop = 400;
constexpr int kOptionStep = 24;
constexpr int kBelowText = 10;     // from a text's last line to the row under it
constexpr int kAboveButtons = 14;  // from the last check box to OK and Cancel

// The group boxes' control names, a group per kind of media in the settings' order; the last group
// collects the stored extensions that none of the others carries.
constexpr std::array<const char*, settings::kExtensionKinds.size() + 1> kGroupNames{
    "cbxWin",     "CheckBox8",  "CheckBox17", "CheckBox35", "CheckBox42", "CheckBox47",
    "CheckBox50", "CheckBox55", "CheckBox58", "CheckBox73", "cbxOther"};
constexpr int kOtherGroup = static_cast<int>(kGroupNames.size());

using enum TTextTarget;
const std::array kTexts{
    TTextRow{"CUI_TOptionForm_lblCaption", "Options", FittedText, "lblCaption"},
    TTextRow{"CUI_TOptionForm_btnOkMe", "OK", Text, "btnOkMe"},
    TTextRow{"CUI_TRiskWarnForm_btnCancelMe", "Cancel", Text, "btnCancelMe"},
    TTextRow{"CUI_TOptionForm_Label1", "File extensions:", FittedText, "Label1"},
    TTextRow{"CUI_TOptionForm_Label2", "Encryption blocks:", FittedText, "Label2"},
    // The two numbers are the smallest and the largest count, in this order.
    TTextRow{"CUI_TOptionForm_lblBlockRange", "from %d to %d"},
    TTextRow{"CUI_TOptionForm_Label3",
             "* Encrypted data blocks within a file, more blocks will take more time", FittedText, "Label3"},
    TTextRow{"CUI_TOptionForm_cbxWin", "Windows Media", Text, "cbxWin"},
    TTextRow{"CUI_TOptionForm_CheckBox8", "Real Media", Text, "CheckBox8"},
    TTextRow{"CUI_TOptionForm_CheckBox17", "MPEG1/2 Media", Text, "CheckBox17"},
    TTextRow{"CUI_TOptionForm_CheckBox35", "MPEG4 Media", Text, "CheckBox35"},
    TTextRow{"CUI_TOptionForm_CheckBox42", "3GPP Media", Text, "CheckBox42"},
    TTextRow{"CUI_TOptionForm_CheckBox47", "Apple Media", Text, "CheckBox47"},
    TTextRow{"CUI_TOptionForm_CheckBox50", "Flash Media", Text, "CheckBox50"},
    TTextRow{"CUI_TOptionForm_CheckBox55", "CD/DVD Media", Text, "CheckBox55"},
    TTextRow{"CUI_TOptionForm_CheckBox58", "Other Video Formats", Text, "CheckBox58"},
    TTextRow{"CUI_TOptionForm_CheckBox73", "Other Audio Formats", Text, "CheckBox73"},
    TTextRow{"CUI_TOptionForm_cbxOther", "Other Formats", Text, "cbxOther"},
    TTextRow{"CUI_TOptionForm_cbxThumbnails", "Remove thumbnails and recent-file entries of encrypted videos",
             Text, "cbxThumbnails"},
    TTextRow{"CUI_TOptionForm_cbxThumbnails_Hint",
             "File managers keep a picture of every video. It is removed when a video is encrypted.", ToolTip,
             "cbxThumbnails"},
    TTextRow{"CUI_TOptionForm_cbxWholeStreams", "Encrypt MPEG streams whole (slow)", Text, "cbxWholeStreams"},
    TTextRow{"CUI_TOptionForm_cbxWholeStreams_Hint",
             "TV and camera recordings (.ts, .m2ts, .mts, .mpg, .vob) can be played from any point. Normally "
             "their first 32 MB are encrypted, which common players cannot get past. With this option the "
             "whole file is encrypted (all but its last half megabyte at most), which takes as long as "
             "copying it.",
             ToolTip, "cbxWholeStreams"},
    TTextRow{"CUI_TOptionForm_cbxSIBP", "Show Orrelguard on title", Text, "cbxSIBP"},
    TTextRow{"CUI_TOptionForm_cbxSelectAll", "Select all", Text, "cbxSelectAll"},
    TTextRow{"CUI_TOptionForm_cbxRiskWarn", "Warn me to back up before files are changed", Text,
             "cbxRiskWarn"},
};
constexpr std::string_view kRangeKey = "CUI_TOptionForm_lblBlockRange";

const TTextRow& rangeRow() {
    return *std::find_if(kTexts.begin(), kTexts.end(),
                         [](const TTextRow& row) { return row.Key == kRangeKey; });
}

// A group's box. A click ticks the whole group, or unticks it when it was wholly ticked; only the
// extensions' boxes can leave it partly ticked, never a click on it.
class TGroupCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

QLabel* label(QWidget* parent, const char* name, QPoint at) {
    auto* control = new QLabel(parent);
    control->setObjectName(QLatin1String(name));
    control->move(at);
    return control;
}

template <class TBox = QCheckBox>
TBox* checkBox(QWidget* parent, const QString& name, const QString& text, const QRect& bounds) {
    auto* box = new TBox(text, parent);
    box->setObjectName(name);
    box->setGeometry(bounds);
    return box;
}

// Widens a check box whose caption no longer fits, growing to the right, or to the left when its right
// edge is what lines it up.
void fitCaption(QCheckBox* box, bool keepRight) {
    const int needed = box->sizeHint().width();
    if (needed <= box->width()) return;
    const int right = box->x() + box->width();
    box->resize(needed, box->height());
    if (keepRight) box->move(right - needed, box->y());
}

// Watches the wheel over every control of the dialog: whichever control it is over, the wheel
// scrolls the extension list and nothing else.
class TWheelHook final : public QObject {
public:
    TWheelHook(QWidget* dialog, std::function<void(int)> onWheel)
        : QObject(dialog), dialog_(dialog), onWheel_(std::move(onWheel)) {
        qApp->installEventFilter(this);
    }
    ~TWheelHook() override { qApp->removeEventFilter(this); }
    TWheelHook(const TWheelHook&) = delete;
    TWheelHook& operator=(const TWheelHook&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel) return false;
        const auto* control = qobject_cast<QWidget*>(watched);
        if (control == nullptr || control->window() != dialog_) return false;
        onWheel_(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }

private:
    QWidget* dialog_;
    std::function<void(int)> onWheel_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The block count field

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
    // Whatever the toolkit would put back in place of a text that is no count, it is the last valid one.
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    // The value follows the text when a count is confirmed (the field left, Enter, an arrow, OK), not
    // digit by digit, so the first digits of a number out of range never stand as the count.
    setKeyboardTracking(false);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit TextChecked(HasValidText()); });
}

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
    const QString decimal = locale().decimalPoint();
    const bool allowed = std::all_of(input.cbegin(), input.cend(), [&decimal](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
               c == QLatin1Char('-') || decimal.contains(c);
    });
    if (!allowed) return QValidator::Invalid;
    // Any other text may be on its way to a count (a "2" before "20"): it is kept, and only a whole
    // number within the range counts.
    bool isInteger = false;
    const qlonglong typed = input.toLongLong(&isInteger);
    return isInteger && typed >= minimum() && typed <= maximum() ? QValidator::Acceptable
                                                                 : QValidator::Intermediate;
}

int TSpinEdit::valueFromText(const QString& text) const {
    bool isInteger = false;
    const qlonglong typed = text.toLongLong(&isInteger);
    return isInteger && typed >= minimum() && typed <= maximum() ? static_cast<int>(typed) : value();
}

void TSpinEdit::stepBy(int steps) {
    bool isInteger = false;
    const qlonglong typed = cleanText().toLongLong(&isInteger);
    if (isInteger && !HasValidText()) {
        // The user asks for a change from the number in view, not from the last valid one.
        setValue(static_cast<int>(std::clamp<qlonglong>(typed, minimum(), maximum())));
        selectAll();
        return;
    }
    QSpinBox::stepBy(steps);
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    return HasValidText() ? QSpinBox::stepEnabled() : (StepUpEnabled | StepDownEnabled);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    const bool valid = HasValidText();
    const QString typed = lineEdit()->text();
    QSpinBox::focusOutEvent(event);
    // The toolkit has put the last valid count back; the text the user typed returns, still marked.
    if (!valid && lineEdit()->text() != typed) lineEdit()->setText(typed);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    // Enter would put the last valid count in place of a text that is none; the text stays instead.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !HasValidText()) {
        event->ignore();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// The dialog

TOptionForm::TOptionForm(QWidget* parent) : TBaseUIForm(parent) {
    setObjectName(QStringLiteral("TOptionForm"));
    SetClientSize(this, 529, 547);

    Label1 = label(this, "Label1", {32, 42});
    cbxSelectAll = checkBox(this, QStringLiteral("cbxSelectAll"), QString(), {424, 42, 77, kBoxHeight});

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setGeometry(32, 64, 465, 249);
    ScrollBox1->setFrameStyle(QFrame::Box | QFrame::Plain);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ScrollBox1->setWidgetResizable(false);
    {
        QPalette white = ScrollBox1->palette();
        white.setColor(QPalette::Window, Qt::white);
        white.setColor(QPalette::Base, Qt::white);
        white.setColor(QPalette::WindowText, QColor(160, 168, 176));  // the flat frame line
        ScrollBox1->setPalette(white);
    }

    pnlExts = new QWidget;
    pnlExts->setObjectName(QStringLiteral("pnlExts"));
    {
        QPalette panel = pnlExts->palette();
        panel.setColor(QPalette::Window, Qt::white);
        panel.setColor(QPalette::WindowText, Qt::black);
        pnlExts->setPalette(panel);
    }
    pnlExts->setAutoFillBackground(true);
    int top = kFirstGroupTop;
    for (int group = 1; group <= kOtherGroup; ++group) {
        // Sized to its caption once that is in place.
        auto* groupBox = checkBox<TGroupCheckBox>(pnlExts, QLatin1String(kGroupNames[group - 1]), QString(),
                                                  {kGroupLeft, top, 200, kBoxHeight});
        groupBox->setTristate(true);
        extBoxes_.push_back({groupBox, group, false});
        connect(groupBox, &QCheckBox::clicked, this, [this, groupBox] { cbxWinClick(groupBox); });
        const QStringList members = group == kOtherGroup
                                        ? QStringList()
                                        : QString::fromLatin1(settings::kExtensionKinds[group - 1].Extensions)
                                              .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        int lastRowTop = top;
        for (int i = 0; i < members.size(); ++i) {
            lastRowTop = top + kFirstRowBelowGroup + (i / kMembersPerRow) * kRowStep;
            const QRect bounds(kMemberLeft + (i % kMembersPerRow) * kMemberStep, lastRowTop, kMemberWidth,
                               kBoxHeight);
            QCheckBox* member = checkBox(pnlExts, members[i], members[i], bounds);
            connect(member, &QCheckBox::toggled, this, [this, group] { ShowGroupState(group); });
            extBoxes_.push_back({member, group, true});
        }
        if (group < kOtherGroup) top = lastRowTop + kNextGroupBelowRow;
    }
    cbxWin = GroupBox(1);
    cbxOther = GroupBox(kOtherGroup);
    cbxOther->hide();
    pnlExts->resize(kPanelWidth, cbxOther->y() + kBoxHeight);
    ScrollBox1->setWidget(pnlExts);

    Label2 = label(this, "Label2", {32, 336});
    edtBlock = new TSpinEdit(this);
    edtBlock->setObjectName(QStringLiteral("edtBlock"));
    edtBlock->setGeometry(144, 333, 73, 24);
    edtBlock->setRange(kMinBlocks, kMaxBlocks);
    edtBlock->setValue(kMinBlocks);
    lblBlockRange = label(this, "lblBlockRange", {225, 336});
    connect(edtBlock, &TSpinEdit::TextChecked, this, &TOptionForm::ShowBlockCheck);

    Label3 = label(this, "Label3", {32, 368});
    {
        QFont arial(QStringLiteral("Arial"));
        arial.setPixelSize(font().pixelSize());
        Label3->setFont(arial);
        QPalette blue = Label3->palette();
        blue.setColor(QPalette::WindowText, Qt::blue);
        Label3->setPalette(blue);
    }
    cbxThumbnails = checkBox(this, QStringLiteral("cbxThumbnails"), QString(), {32, 400, 193, kBoxHeight});
    cbxWholeStreams =
        checkBox(this, QStringLiteral("cbxWholeStreams"), QString(), {32, 424, 193, kBoxHeight});
    cbxSIBP = checkBox(this, QStringLiteral("cbxSIBP"), QString(), {32, 448, 193, kBoxHeight});
    cbxRiskWarn = checkBox(this, QStringLiteral("cbxRiskWarn"), QString(), {32, 472, 193, kBoxHeight});
    blockPalette_ = edtBlock->palette();
    rangePalette_ = lblBlockRange->palette();
    ApplyTextRows(*this, OptionFormTexts(), EnglishText);
    ApplyComposedTexts(EnglishText(rangeRow()));
    for (const TExtBox& ext : extBoxes_)
        if (!ext.Extension) ext.Box->resize(ext.Box->sizeHint().width(), kBoxHeight);

    setTabOrder(cbxSelectAll, ScrollBox1);
    setTabOrder(ScrollBox1, edtBlock);
    setTabOrder(edtBlock, cbxThumbnails);
    setTabOrder(cbxThumbnails, cbxWholeStreams);
    setTabOrder(cbxWholeStreams, cbxSIBP);
    setTabOrder(cbxSIBP, cbxRiskWarn);
    setTabOrder(cbxRiskWarn, btnCancelMe);
    setTabOrder(btnCancelMe, btnOkMe);

    connect(cbxSelectAll, &QCheckBox::clicked, this, &TOptionForm::cbxSelectAllClick);
    // OK saves first, then closes the dialog as the frame's OK does.
    disconnect(btnOkMe, &TOruButton::clicked, this, nullptr);
    connect(btnOkMe, &TOruButton::clicked, this, &TOptionForm::btnOkMeClick);
    new TWheelHook(this, [this](int delta) { WheelOverDialog(delta); });
}

TOptionForm::~TOptionForm() {
    // The block field loses the focus while the dialog's widgets are torn down, and its text check
    // must not reach this dialog, whose own part is gone by then.
    disconnect(edtBlock, nullptr, this, nullptr);
}

void TOptionForm::FormCreate() {
    TBaseUIForm::FormCreate();
    ScrollBox1->verticalScrollBar()->setValue(0);
    // A translated caption may be longer than the design width: show it whole.
    fitCaption(cbxSelectAll, true);
    fitCaption(cbxThumbnails, false);
    fitCaption(cbxWholeStreams, false);
    fitCaption(cbxSIBP, false);
    fitCaption(cbxRiskWarn, false);
    LayOutLowerRows();
    for (const TExtBox& ext : extBoxes_)
        if (!ext.Extension) ext.Box->resize(ext.Box->sizeHint().width(), ext.Box->height());
}

void TOptionForm::LayOutLowerRows() {
    const int right = ScrollBox1->x() + ScrollBox1->width();
    const auto wrapTo = [](QLabel* text, int room) {
        text->setWordWrap(true);
        text->resize(room, text->heightForWidth(room));
    };

    // The range follows the block field when the row has room for it, and takes a row of its own
    // under the field otherwise.
    int below = edtBlock->y() + edtBlock->height();
    const int rangeLeft = edtBlock->x() + edtBlock->width() + ScaleValue(kNoteAfterField);
    if (rangeLeft + lblBlockRange->width() <= right) {
        lblBlockRange->move(rangeLeft, Label2->y());
    } else {
        lblBlockRange->move(Label2->x(), below + ScaleValue(kBelowText) / 2);
        wrapTo(lblBlockRange, right - Label2->x());
        below = lblBlockRange->y() + lblBlockRange->height();
    }

    // The note takes as many lines as it needs, and the check boxes keep their distance from its last
    // one, so that no language crowds them.
    Label3->move(Label3->x(), std::max(ScaleValue(kNoteTop), below + ScaleValue(kBelowText)));
    if (Label3->width() > right - Label3->x()) wrapTo(Label3, right - Label3->x());
    int top = std::max(ScaleValue(kFirstOptionTop), Label3->y() + Label3->height() + ScaleValue(kBelowText));
    for (QCheckBox* box : {cbxThumbnails, cbxWholeStreams, cbxSIBP, cbxRiskWarn}) {
        box->move(box->x(), top);
        top += ScaleValue(kOptionStep);
    }

    // The dialog grows by what the rows need beyond its design height; OK and Cancel move down with
    // its bottom edge.
    const int lacking = cbxRiskWarn->y() + cbxRiskWarn->height() + ScaleValue(kAboveButtons) - btnOkMe->y();
    if (lacking > 0) SetClientSize(this, width(), height() + lacking);
}

void TOptionForm::ApplyLanguage() {
    if (!IsLanguageLoaded()) return;
    ApplyTextRows(*this, OptionFormTexts(),
                  [this](const TTextRow& row) { return Translate(QLatin1String(row.Key)); });
    // A language file without the range keeps the English one: the note is what explains a marked field.
    const QString range = Translate(QLatin1String(rangeRow().Key));
    ApplyComposedTexts(range.isEmpty() ? EnglishText(rangeRow()) : range);
    // The field follows its label; the gap stays 13 pixels at every resolution.
    edtBlock->move(Label2->x() + Label2->width() + kFieldAfterLabel, edtBlock->y());
}

void TOptionForm::ApplyComposedTexts(const QString& rangePattern) {
    QString note = rangePattern;
    for (const int bound : {kMinBlocks, kMaxBlocks}) {
        const qsizetype at = note.indexOf(QStringLiteral("%d"));
        if (at >= 0) note.replace(at, 2, QString::number(bound));
    }
    lblBlockRange->setText(note);
    lblBlockRange->adjustSize();
    lblBlockRange->setAccessibleName(note);
    edtBlock->setAccessibleDescription(note);
    // The field is read by its label, without the colon.
    QString blocks = Label2->text().trimmed();
    if (blocks.endsWith(QLatin1Char(':')) || blocks.endsWith(QChar(0xFF1A))) blocks.chop(1);
    edtBlock->setAccessibleName(blocks);
    cbxRiskWarn->setAccessibleName(cbxRiskWarn->text());
}

void TOptionForm::ShowBlockCheck(bool valid) {
    if (valid) {
        edtBlock->setPalette(blockPalette_);
        lblBlockRange->setPalette(rangePalette_);
        return;
    }
    QPalette field = blockPalette_;
    field.setColor(QPalette::Base, QColor(255, 226, 226));
    field.setColor(QPalette::Text, QColor(160, 0, 0));
    edtBlock->setPalette(field);
    QPalette note = rangePalette_;
    note.setColor(QPalette::WindowText, QColor(200, 0, 0));
    lblBlockRange->setPalette(note);
}

QCheckBox* TOptionForm::GroupBox(int group) const {
    const auto found = std::find_if(extBoxes_.cbegin(), extBoxes_.cend(),
                                    [group](const TExtBox& ext) { return ext.Group == group; });
    return found == extBoxes_.cend() ? nullptr : found->Box;
}

std::vector<QCheckBox*> TOptionForm::MemberBoxes(int group) const {
    std::vector<QCheckBox*> members;
    for (const TExtBox& ext : extBoxes_)
        if (ext.Group == group && ext.Extension) members.push_back(ext.Box);
    return members;
}

void TOptionForm::ShowGroupState(int group) {
    int ticked = 0;
    int members = 0;
    for (const TExtBox& ext : extBoxes_) {
        if (ext.Group != group || !ext.Extension) continue;
        ++members;
        if (ext.Box->isChecked()) ++ticked;
    }
    const Qt::CheckState state = ticked == 0         ? Qt::Unchecked
                                 : ticked == members ? Qt::Checked
                                                     : Qt::PartiallyChecked;
    GroupBox(group)->setCheckState(state);
}

void TOptionForm::ShowAllGroupStates() {
    for (int group = 1; group <= kOtherGroup; ++group) ShowGroupState(group);
}

void TOptionForm::LoadOptions() {
    const QByteArray& stored = settings::Settings->VideoExts();
    QStringList pieces;
    for (const std::string& piece : platform::DivStrToList(
             std::string_view(stored.constData(), static_cast<std::size_t>(stored.size())), ";", false))
        pieces << platform::FromLocal8Bit(piece);

    // Extra boxes of an earlier load go, so that loading again shows the settings as they are now.
    std::erase_if(extBoxes_, [](const TExtBox& ext) {
        if (ext.Group != kOtherGroup || !ext.Extension) return false;
        delete ext.Box;
        return true;
    });
    if (extraBoxes_ > 0) pnlExts->resize(pnlExts->width(), cbxOther->y() + cbxOther->height());

    for (const TExtBox& ext : extBoxes_) {
        if (!ext.Extension) continue;
        const QString caption = ext.Box->text();
        const auto found = std::find_if(pieces.begin(), pieces.end(), [&caption](const QString& piece) {
            return piece.compare(caption, Qt::CaseInsensitive) == 0;
        });
        ext.Box->setChecked(found != pieces.end());
        if (found != pieces.end()) pieces.erase(found);
    }
    pieces.removeIf([](const QString& piece) { return !piece.startsWith(QLatin1Char('.')); });

    extraBoxes_ = static_cast<int>(pieces.size());
    for (int i = 0; i < extraBoxes_; ++i) {
        const QString extension = pieces[i].toLower();
        const QRect bounds(ScaleValue((i % kMembersPerRow) * kMemberStep + kMemberLeft),
                           cbxOther->y() + ScaleValue(kFirstRowBelowGroup + (i / kMembersPerRow) * kRowStep),
                           ScaleValue(kMemberWidth), cbxOther->height());
        QCheckBox* box = checkBox(pnlExts, extension, extension, bounds);
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this] { ShowGroupState(kOtherGroup); });
        box->show();
        extBoxes_.push_back({box, kOtherGroup, true});
    }
    if (extraBoxes_ > 0) {
        const int rows = (extraBoxes_ - 1) / kMembersPerRow + 1;
        pnlExts->resize(pnlExts->width(),
                        pnlExts->height() + ScaleValue(rows * kRowStep + kFirstRowBelowGroup));
    }
    cbxOther->setVisible(extraBoxes_ > 0);
    ShowAllGroupStates();

    // A stored count out of range (a hand-edited file) shows as the nearest count the program can use.
    edtBlock->setValue(settings::Settings->Blocks());
    cbxThumbnails->setChecked(settings::Settings->RemoveThumbnails());
    cbxWholeStreams->setChecked(settings::Settings->WholeStreams());
    cbxSIBP->setChecked(settings::Settings->ShowSIBP());
    cbxRiskWarn->setChecked(settings::Settings->ShowRiskWarn());
}

bool TOptionForm::SaveOptions() {
    if (!edtBlock->HasValidText()) return false;
    // A count still being typed counts as if the field had been left.
    edtBlock->interpretText();
    QString text;
    for (const TExtBox& ext : extBoxes_)
        if (ext.Box->isChecked() && ext.Extension) text += ext.Box->text() + QLatin1Char(';');
    settings::Settings->SetVideoExts(QByteArray::fromStdString(platform::ToLocal8Bit(text)));
    settings::Settings->SetBlocks(edtBlock->value());
    settings::Settings->SetRemoveThumbnails(cbxThumbnails->isChecked());
    settings::Settings->SetWholeStreams(cbxWholeStreams->isChecked());
    settings::Settings->SetShowSIBP(cbxSIBP->isChecked());
    settings::Settings->SetShowRiskWarn(cbxRiskWarn->isChecked());
    return true;
}

void TOptionForm::cbxWinClick(QCheckBox* sender) {
    const auto self = std::find_if(extBoxes_.cbegin(), extBoxes_.cend(),
                                   [sender](const TExtBox& ext) { return ext.Box == sender; });
    if (self == extBoxes_.cend()) return;
    const int group = self->Group;
    const bool checked = sender->isChecked();
    for (const TExtBox& ext : extBoxes_)
        if (ext.Group == group && ext.Extension) ext.Box->setChecked(checked);
    ShowGroupState(group);  // also for a group without extensions, which has nothing to tick
}

void TOptionForm::cbxSelectAllClick() {
    const bool checked = cbxSelectAll->isChecked();
    for (const TExtBox& ext : extBoxes_)
        if (ext.Extension) NoChangeSet(ext.Box, checked);
    ShowAllGroupStates();
}

void TOptionForm::FormMouseWheelDown() {
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    bar->setValue(bar->value() + bar->singleStep());
}

void TOptionForm::FormMouseWheelUp() {
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    bar->setValue(bar->value() - bar->singleStep());
}

void TOptionForm::WheelOverDialog(int angleDelta) {
    // One line per notch; the finer steps of touch pads add up to notches.
    wheelDelta_ += angleDelta;
    while (wheelDelta_ <= -kWheelNotch) {
        FormMouseWheelDown();
        wheelDelta_ += kWheelNotch;
    }
    while (wheelDelta_ >= kWheelNotch) {
        FormMouseWheelUp();
        wheelDelta_ -= kWheelNotch;
    }
}

void TOptionForm::btnOkMeClick() {
    if (!SaveOptions()) {
        // The field is marked and its note gives the range: the user puts the count right from there.
        edtBlock->setFocus(Qt::OtherFocusReason);
        edtBlock->selectAll();
        return;
    }
    TBaseUIForm::btnOkMeClick();
}

std::span<const TTextRow> OptionFormTexts() {
    return kTexts;
}

bool ShowOptionsDialog() {
    const auto& show = ShellCalls().ShowOptionsDialog;
    return show && show();
}

bool ExecOptionsDialog() {
    const auto form = CreateForm<TOptionForm>();
    form->LoadOptions();
    return form->ShowModal() == mrOk;
}

}  // namespace ui
