#include "ui/MsgBoxForm.h"

#include <QLabel>

#include <algorithm>
#include <array>

#include "ui/GuiUtility.h"
#include "ui/OruButton.h"
#include "ui/SkinImage.h"

namespace ui {

namespace {

constexpr int kMinWidth = 320;
constexpr int kMaxTextWidth = 460;
constexpr int kTextLeft = 70;
constexpr int kMargin = 24;

using enum TTextTarget;
// OK first, then Yes and No: a box shows the first row or the other two. OK means what the dialogs'
// OK means, so it shares their key.
const std::array kTexts{
    TTextRow{"CUI_TOptionForm_btnOkMe", "OK", Text, "btnOkMe"},
    TTextRow{"RUI_TMsgBoxForm_Yes", "Yes", Text, "btnOkMe"},
    TTextRow{"RUI_TMsgBoxForm_No", "No", Text, "btnCancelMe"},
};

QString signOf(int icon) {
    switch (icon) {
        case kIconQuestion:
            return QStringLiteral("question");
        case kIconJobError:
            return QStringLiteral("error");
        case kIconFailure:
            return QStringLiteral("warning");
        default:
            return QStringLiteral("info");
    }
}

}  // namespace

TMsgBoxForm::TMsgBoxForm(const QString& text, int buttons, int icon, QWidget* parent)
    : TBaseUIForm(parent), buttons_(buttons), answer_(buttons == kMbYesNo ? kIdNo : kIdOk) {
    setObjectName(QStringLiteral("TMsgBoxForm"));

    imgSign = new TSkinImage(this);
    imgSign->setObjectName(QStringLiteral("imgSign"));
    imgSign->SetPicture(SkinPixmap(signOf(icon)));
    imgSign->setGeometry(kMargin, 48, 32, 32);

    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lblText = new QLabel(lines, this);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setTextFormat(Qt::PlainText);
    lblText->setWordWrap(true);
    lblText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // As wide as the longest line needs, within bounds; as high as the wrapped text.
    const QFontMetrics metrics(lblText->font());
    int widest = 0;
    for (const QString& line : lines.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int textWidth = std::clamp(widest + 2, 120, kMaxTextWidth);
    const int textHeight = std::max(32, lblText->heightForWidth(textWidth));
    lblText->setGeometry(kTextLeft, 48, textWidth, textHeight);
    const int width = std::max(kMinWidth, kTextLeft + textWidth + kMargin);
    const int buttonsTop = 48 + textHeight + 20;
    SetClientSize(this, width, buttonsTop + 23 + 16);
    // The frame's buttons followed the right and bottom edges; put them on the row under the text.
    btnCancelMe->move(width - kMargin - btnCancelMe->width(), buttonsTop);
    btnOkMe->move(btnCancelMe->x() - 12 - btnOkMe->width(), buttonsTop);

    ApplyTextRows(*this, ButtonTexts(), EnglishText);
    if (buttons == kMbYesNo) {
        connect(btnOkMe, &TOruButton::clicked, this, [this] { answer_ = kIdYes; });
        connect(btnCancelMe, &TOruButton::clicked, this, [this] { answer_ = kIdNo; });
    } else {
        // One button, in the place of the right-hand one.
        btnCancelMe->hide();
        btnOkMe->move(btnCancelMe->pos());
    }
    btnOkMe->setFocus();
}

void TMsgBoxForm::ApplyLanguage() {
    if (!IsLanguageLoaded()) return;
    ApplyTextRows(*this, ButtonTexts(),
                  [this](const TTextRow& row) { return Translate(QLatin1String(row.Key)); });
}

std::span<const TTextRow> TMsgBoxForm::ButtonTexts() const {
    const std::span<const TTextRow> rows = MsgBoxFormTexts();
    return buttons_ == kMbYesNo ? rows.subspan(1, 2) : rows.first(1);
}

std::span<const TTextRow> MsgBoxFormTexts() {
    return kTexts;
}

}  // namespace ui
