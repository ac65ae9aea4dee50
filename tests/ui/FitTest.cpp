// Every window and dialog, in every shipped language: no text needs more room than its control has,
// and no two controls overlap.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "UiTestUtil.h"
#include "ui/MainForm.h"
#include "ui/MsgBoxForm.h"
#include "ui/OptionForm.h"
#include "ui/OruButton.h"
#include "ui/RiskWarnForm.h"

using namespace ui;
using uitest::Control;

namespace {

// Room a caption needs inside a skinned button, beside its text.
constexpr int kButtonPadding = 4;

bool isControl(const QWidget* widget) {
    return qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QProgressBar*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget);
}

QString name(const QWidget* widget) {
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// What in `window` is cut off or lies over another control, one line each.
QStringList Problems(const QWidget& window) {
    QStringList problems;
    const auto shown = [&window](const QWidget* widget) {
        return widget->isVisibleTo(&window) && !widget->isWindow();
    };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!shown(widget)) continue;
        if (const auto* label = qobject_cast<const QLabel*>(widget); label && !label->text().isEmpty()) {
            const QRect room = label->contentsRect();
            const QSize needed =
                label->wordWrap()
                    ? QSize(room.width(), label->heightForWidth(room.width()))
                    : label->fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), 0, label->text()).size();
            if (needed.width() > room.width() || needed.height() > room.height())
                problems << QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
                                .arg(name(label), label->text())
                                .arg(needed.width())
                                .arg(needed.height())
                                .arg(room.width())
                                .arg(room.height());
        } else if (const auto* box = qobject_cast<const QCheckBox*>(widget); box && !box->text().isEmpty()) {
            if (box->sizeHint().width() > box->width())
                problems << QStringLiteral("%1 \"%2\" needs %3 wide, has %4")
                                .arg(name(box), box->text())
                                .arg(box->sizeHint().width())
                                .arg(box->width());
        } else if (const auto* button = qobject_cast<const TOruButton*>(widget);
                   button && !button->Caption().isEmpty()) {
            const int needed =
                QFontMetrics(button->font()).horizontalAdvance(button->Caption()) + 2 * kButtonPadding;
            if (needed > button->width())
                problems << QStringLiteral("%1 \"%2\" needs %3 wide, has %4")
                                .arg(name(button), button->Caption())
                                .arg(needed)
                                .arg(button->width());
        }
    }
    // Controls side by side within one parent never overlap.
    QList<const QWidget*> parents{&window};
    for (const QWidget* widget : window.findChildren<QWidget*>())
        if (shown(widget)) parents << widget;
    for (const QWidget* parent : parents) {
        QList<const QWidget*> controls;
        for (const QObject* child : parent->children())
            if (const auto* widget = qobject_cast<const QWidget*>(child);
                widget && shown(widget) && isControl(widget))
                controls << widget;
        for (qsizetype i = 0; i < controls.size(); ++i)
            for (qsizetype j = i + 1; j < controls.size(); ++j)
                if (controls[i]->geometry().intersects(controls[j]->geometry()))
                    problems << QStringLiteral("%1 and %2 overlap").arg(name(controls[i]), name(controls[j]));
    }
    return problems;
}

class FitTest : public uitest::UiTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        UiTest::SetUp();
        lang::Language = std::make_unique<lang::TLanguage>(QStringLiteral(VELMORA_LANGUAGES_DIR));
        settings::Settings->SetLangFileId(QString::fromLatin1(GetParam()));
        lang::Language->SetLanguageName(GetParam());
        lang::Language->LoadLanguageFile("German");  // so that English too is read from its file
        ASSERT_TRUE(lang::Language->LoadLanguageFile(GetParam()));
    }

    void Expect(QWidget& window, const QString& what) {
        window.show();
        QCoreApplication::processEvents();
        const QStringList problems = Problems(window);
        EXPECT_TRUE(problems.isEmpty()) << GetParam() << ", " << what.toStdString() << ":\n  "
                                        << problems.join(QStringLiteral("\n  ")).toStdString();
        window.hide();
    }
};

TEST_P(FitTest, EveryWindowShowsItsTextsWholeWithoutOverlaps) {
    auto main = CreateForm<TMainForm>();
    Control<QCheckBox>(*main, "cbxKey")->setChecked(true);
    Expect(*main, QStringLiteral("the main window, Files"));
    Control<TOruButton>(*main, "btnDirectory")->click();
    Expect(*main, QStringLiteral("the main window, Directories"));

    auto options = CreateForm<TOptionForm>();
    options->LoadOptions();
    Expect(*options, QStringLiteral("the options"));
    auto warning = CreateForm<TRiskWarnForm>();
    Expect(*warning, QStringLiteral("the backup warning"));

    const TMainTexts& texts = main->Texts();
    for (const auto& [text, buttons, icon] :
         {std::tuple{texts.AddFile, kMbOk, kIconInfo}, std::tuple{texts.StopNow, kMbYesNo, kIconQuestion},
          std::tuple{texts.Finished + QStringLiteral("\n") + texts.Time + QStringLiteral("4.2s"), kMbOk,
                     kIconInfo},
          std::tuple{QString(texts.FinishedFailed).replace(QStringLiteral("%d"), QStringLiteral("1234")) +
                         QStringLiteral("\n") + texts.Time + QStringLiteral("4.2s"),
                     kMbOk, kIconFailure},
          std::tuple{texts.Recovered + QStringLiteral("\n\n/home/user/Videos/holiday.mp4"), kMbOk,
                     kIconFailure}}) {
        auto box = CreateForm<TMsgBoxForm>(text, buttons, icon);
        Expect(*box, QStringLiteral("the box \"%1\"").arg(text.left(30)));
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, FitTest, ::testing::Values("English", "German", "Russian", "Chinese"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
