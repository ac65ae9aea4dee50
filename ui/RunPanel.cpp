#include "ui/RunPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QValidator>

#include <algorithm>
#include <array>
#include <exception>

#include "engine/JobSetUp.h"
#include "jobs/JobController.h"
#include "lang/Language.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"
#include "ui/GuiUtility.h"
#include "ui/LinkLabel.h"
#include "ui/MainLook.h"
#include "ui/MainTexts.h"
#include "ui/OruButton.h"

namespace ui {

namespace {

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

// The key field takes no more than the trailer keeps, counted in the bytes that are stored: a longer
// key would be cut, and the file would then open with any key that begins the same.
class TKeyValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        return engine::KeyIsCut(platform::ToLocal8Bit(input)) ? Invalid : Acceptable;
    }
};

engine::TJobTexts jobTexts(const TMainTexts& texts) {
    return texts.JobTexts(lang::Language->GetLanguageId() == QStringLiteral("Chinese"));
}

}  // namespace

// Laid out with the key band open.
TRunPanel::TRunPanel(const TMainTexts& texts, jobs::TJobController& controller, QWidget* parent)
    : QWidget(parent), texts_(texts), controller_(controller) {
    Place(this, "pnlEncrypt", {8, 289, 672, 266}, kLeftRightBottom);
    cbxKey = Place(new QCheckBox(this), "cbxKey", {84, 10, 300, 20}, kLeftTop);
    edtKey = Place(new QLineEdit(this), "edtKey", {84, 34, 280, 24}, kLeftTop);
    edtKey->setMaxLength(static_cast<int>(engine::kMaxKeyBytes));
    edtKey->setValidator(new TKeyValidator(edtKey));
    // Shown by default; hidden from someone looking at the screen on demand, for this session.
    actShowKey = edtKey->addAction(eyeIcon(false), QLineEdit::TrailingPosition);
    actShowKey->setObjectName(QStringLiteral("actShowKey"));
    actShowKey->setCheckable(true);
    actShowKey->setChecked(true);
    lblKey = Place(new QLabel(this), "lblKey", {84, 62, 500, 16}, kLeftTop);
    SetTextColor(lblKey, kNoteBlue);

    Label3 = Place(new QLabel(this), "Label3", {16, 98, 60, 16}, kLeftBottom);
    cbFileType = Place(new QComboBox(this), "cbFileType", {84, 94, 280, 24}, kLeftBottom);
    cbFileType->addItems({QString(), QString(), QString()});  // both, only encrypted, only unencrypted
    // On Linux a screen reader names a drop-down by the label it is labelled by.
    Label3->setBuddy(cbFileType);
    cbFileType->setCurrentIndex(0);

    Label1 = Place(new QLabel(this), "Label1", {16, 132, 60, 16}, kLeftBottom);
    const auto summaryLabel = [this](const char* name, int top) {
        return Place(new QLabel(this), name, {84, top, 200, 16}, kLeftBottom);
    };
    lblEncrypted = summaryLabel("lblEncrypted", 132);
    lblDecrypted = summaryLabel("lblDecrypted", 154);
    lblFailed = summaryLabel("lblFailed", 176);
    lblSize = summaryLabel("lblSize", 198);
    lblTime = summaryLabel("lblTime", 220);
    // Each placed after its summary line once that has its text.
    const auto detailLink = [this](const char* name, const QLabel* of) {
        auto* link = Place(new TLinkLabel(QString(), this), name, {84, of->y(), 60, 16}, kLeftBottom);
        SetTextColor(link, kNoteBlue);
        link->hide();
        return link;
    };
    lblDetail1 = detailLink("lblDetail1", lblEncrypted);
    lblDetail2 = detailLink("lblDetail2", lblDecrypted);
    lblDetail3 = detailLink("lblDetail3", lblFailed);

    btnEncrypt = ImageButton(this, "btnEncrypt", QStringLiteral("run"), {457, 176, 180, 44}, kRightBottom);
    btnEncrypt->SetStretch(true, 8, 8);
    btnEncrypt->SetCaptionColor(Qt::white);
    btnEncrypt->setFont(Arial(15, true));

    ProgressBar1 = Place(new QProgressBar(this), "ProgressBar1", {84, 244, 553, 10}, kLeftRightBottom);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #8A98A8; border-radius: 4px; background: #E9EDF1; }"
                       "QProgressBar::chunk { background: #3F7FD0; border-radius: 3px; }"));
    ProgressBar1->hide();

    connect(btnEncrypt, &TOruButton::clicked, this, &TRunPanel::btnEncryptClick);
    connect(cbFileType, &QComboBox::currentIndexChanged, this, [this] {
        if (!controller_.Running()) btnEncrypt->SetCaption(RunCaption());
    });
    connect(cbxKey, &QCheckBox::toggled, this, &TRunPanel::cbxKeyClick);
    connect(actShowKey, &QAction::toggled, this, &TRunPanel::ShowKeyAsChosen);
    connect(lblDetail1, &TLinkLabel::clicked, this, [this] { OpenDetailFile(jobs::TDetailList::Encrypted); });
    connect(lblDetail2, &TLinkLabel::clicked, this, [this] { OpenDetailFile(jobs::TDetailList::Decrypted); });
    connect(lblDetail3, &TLinkLabel::clicked, this, [this] { OpenDetailFile(jobs::TDetailList::Failed); });
    connect(&controller_, &jobs::TJobController::ProgressChanged, this, &TRunPanel::PaintProgress);
}

std::vector<std::pair<QLabel*, bool>> TRunPanel::LabelColumn() const {
    return {{Label3, true}, {Label1, true}};
}

std::vector<QWidget*> TRunPanel::FieldColumn() const {
    return {cbxKey,  edtKey,  lblKey,     cbFileType, lblEncrypted, lblDecrypted, lblFailed,
            lblSize, lblTime, lblDetail1, lblDetail2, lblDetail3,   ProgressBar1};
}

int TRunPanel::FieldLeft() const {
    return cbFileType->x();
}

std::string TRunPanel::Key() const {
    return cbxKey->isChecked() ? platform::ToLocal8Bit(edtKey->text()) : std::string();
}

std::uint8_t TRunPanel::Target() const {
    return static_cast<std::uint8_t>(std::max(0, cbFileType->currentIndex()));
}

bool TRunPanel::KeyChosen() const {
    return cbxKey->isChecked();
}

void TRunPanel::ShowKeyBand(bool open) {
    edtKey->setVisible(open);
    lblKey->setVisible(open);
}

void TRunPanel::btnEncryptClick() {
    if (!controller_.Running()) {
        emit RunClicked();
        return;
    }
    controller_.Stop();  // the file in hand is finished or put back, then the job reports the cancel
    JobStopping();
}

void TRunPanel::JobStopping() {
    btnEncrypt->setEnabled(false);
}

void TRunPanel::cbxKeyClick() {
    emit KeyBandToggled(cbxKey->isChecked());
    if (cbxKey->isChecked() && isVisible()) edtKey->setFocus();  // ready for typing the key
}

void TRunPanel::ShowKeyAsChosen() {
    const bool shown = actShowKey->isChecked();
    edtKey->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    actShowKey->setIcon(eyeIcon(!shown));
    actShowKey->setToolTip(shown ? texts_.HideKey : texts_.ShowKey);
    actShowKey->setText(actShowKey->toolTip());  // what a screen reader calls the eye
}

void TRunPanel::ApplyTexts() {
    ShowKeyAsChosen();
}

void TRunPanel::LanguageChanged() {
    for (QLabel* link : {lblDetail1, lblDetail2, lblDetail3}) link->hide();
    btnEncrypt->SetCaption(controller_.Running() ? texts_.Cancel : RunCaption());
}

QString TRunPanel::RunCaption() const {
    switch (cbFileType->currentIndex()) {
        case 0:
            return texts_.EncryptDecrypt;
        case 1:
            return texts_.Decrypt;
        default:
            return texts_.Encrypt;
    }
}

void TRunPanel::PlaceLinks() {
    for (auto [link, of] : {std::pair{lblDetail1, lblEncrypted}, std::pair{lblDetail2, lblDecrypted},
                            std::pair{lblDetail3, lblFailed}}) {
        link->move(of->x() + of->width() + 2, of->y());
        // Three links read "(details)": a screen reader tells them apart by their line.
        link->setAccessibleName(of->text().trimmed() + QLatin1Char(' ') + link->text());
    }
    cbFileType->setAccessibleName(Label3->text());
}

void TRunPanel::FitRunButton(int padding) {
    if (runButtonWidth_ == 0) runButtonWidth_ = btnEncrypt->width();
    const QFontMetrics runFont(btnEncrypt->font());
    int needed = 0;
    for (const QString* caption : {&texts_.EncryptDecrypt, &texts_.Decrypt, &texts_.Encrypt, &texts_.Cancel})
        needed = std::max(needed, runFont.horizontalAdvance(*caption) + 2 * padding);
    const int runWidth = std::max(runButtonWidth_, needed);
    const int runRight = btnEncrypt->x() + btnEncrypt->width();
    btnEncrypt->setGeometry(runRight - runWidth, btnEncrypt->y(), runWidth, btnEncrypt->height());
}

void TRunPanel::JobStarted(bool searching) {
    btnEncrypt->SetCaption(texts_.Cancel);
    for (QLabel* link : {lblDetail1, lblDetail2, lblDetail3}) link->hide();
    SetLabel(lblEncrypted, texts_.Encrypted);
    SetLabel(lblDecrypted, texts_.Decrypted);
    SetLabel(lblFailed, texts_.Failed);
    SetLabel(lblSize, texts_.Size);
    SetLabel(lblTime, texts_.Time);
    if (searching) SetLabel(lblEncrypted, SearchingText(0));
}

QString TRunPanel::SearchingText(std::size_t found) const {
    return QString(texts_.Searching).replace(QStringLiteral("%d"), QLocale().toString(qulonglong{found}));
}

void TRunPanel::PaintProgress() {
    const jobs::TJobProgressState& live = controller_.Progress();
    const bool searchOnly = jobs::SearchOnly(live);
    if (searchOnly) SetLabel(lblEncrypted, SearchingText(live.Found));
    if (live.FileHandled || live.InFile) {
        const jobs::TBarPosition bar = jobs::BarPosition(live);
        ProgressBar1->setMaximum(static_cast<int>(bar.Maximum));
        ProgressBar1->setValue(static_cast<int>(bar.Value));
        ProgressBar1->show();
    }
    if (live.HasCounts) {
        SetLabel(lblEncrypted, texts_.Encrypted + QStringLiteral("%1 ").arg(live.Encrypted));
        SetLabel(lblDecrypted, texts_.Decrypted + QStringLiteral("%1 ").arg(live.Decrypted));
    }
    if (live.HasFailedSize) {
        SetLabel(lblFailed, texts_.Failed + QStringLiteral("%1 ").arg(live.Failed));
        SetLabel(lblSize, texts_.Size + engine::FormatMegabytes(static_cast<std::int32_t>(live.Mib)));
    }
    // The time runs on while the job searches or works through a long file, not only file by file.
    if (searchOnly || live.HasFailedSize || live.InFile)
        SetLabel(lblTime, texts_.Time + engine::FormatElapsed(controller_.Elapsed(), jobTexts(texts_)));
    // Painted now: a queued repaint would wait behind the job's messages, which keep coming.
    if (isVisible()) repaint();
}

void TRunPanel::JobEnded() {
    btnEncrypt->SetCaption(RunCaption());
    btnEncrypt->setEnabled(true);
    ProgressBar1->hide();
    const engine::TKZVThread* job = controller_.Job();
    if (!job) return;
    const engine::TJobTexts texts = jobTexts(texts_);
    const auto count = [](std::size_t n) { return QStringLiteral("%1 ").arg(n); };
    SetLabel(lblEncrypted, texts_.Encrypted + count(job->EncryptedList.size()));
    SetLabel(lblDecrypted, texts_.Decrypted + count(job->DecryptedList.size()));
    SetLabel(lblFailed, texts_.Failed + count(job->FailedList.size()));
    SetLabel(lblSize, texts_.Size + engine::FormatByteSize(job->TotalBytes, texts));
    SetLabel(lblTime, texts_.Time + engine::FormatElapsed(job->Ticks, texts));
    PlaceLinks();
    lblDetail1->setVisible(!job->EncryptedList.empty());
    lblDetail2->setVisible(!job->DecryptedList.empty());
    lblDetail3->setVisible(!job->FailedList.empty());
}

void TRunPanel::OpenDetailFile(jobs::TDetailList which) const {
    QString path;
    try {
        path = controller_.WriteDetailFile(which, settings::AppDataFolder(), jobTexts(texts_));
    } catch (const std::exception& e) {
        MsgBox(platform::FromLocal8Bit(e.what()), kMbOk, kIconFailure);
        return;
    }
    // Without a program for text files the click would do nothing at all: say where the list is.
    if (!path.isEmpty() && !RunFile(path))
        MsgBox(QString(texts_.ListIsAt).replace(QStringLiteral("%s"), path), kMbOk, kIconInfo);
}

}  // namespace ui
