// The window-bound utility routines and the image button: message boxes and their answers, what is
// handed to the desktop, dialog filters, quiet value changes, broadcasts, and the button's faces.
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>

#include "UiTestUtil.h"
#include "platform/Messages.h"
#include "settings/AppFolders.h"
#include "ui/MsgBoxForm.h"
#include "ui/OruButton.h"
#include "ui/SkinImage.h"

using namespace ui;

namespace {

// Answers the next message box with `act` once it is up, and remembers what it showed.
struct BoxAnswerer {
    explicit BoxAnswerer(std::function<void(TMsgBoxForm&)> act) : act(std::move(act)) {}

    std::function<void(TMsgBoxForm&)> act;
    QString text;
    QString caption;
    QImage sign;
    bool twoButtons = false;
    QString yes;

    void Arm() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<TMsgBoxForm*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                Arm();  // not shown yet
                return;
            }
            text = box->lblText->text();
            caption = box->lblCaption->text();
            sign = box->imgSign->Picture().toImage();
            twoButtons = box->btnCancelMe->isVisible();
            yes = box->btnOkMe->Caption();
            act(*box);
        });
    }
};

QImage Sign(const char* name) {
    return SkinPixmap(QLatin1String(name)).toImage();
}

// Records the window messages that reach it.
class MessageSink : public QWidget {
public:
    std::vector<std::array<std::uintptr_t, 3>> received;

protected:
    bool event(QEvent* event) override {
        if (const auto* m = platform::AsMessage(event)) {
            received.push_back({m->Msg, m->WParam, static_cast<std::uintptr_t>(m->LParam)});
            return true;
        }
        return QWidget::event(event);
    }
};

QPixmap Solid(QSize size, const QColor& color) {
    QPixmap pixmap(size);
    pixmap.fill(color);
    return pixmap;
}

// A face whose left 4 columns are red, right 4 blue and the middle green.
QPixmap ThreePartFace() {
    QPixmap face(20, 10);
    face.fill(Qt::green);
    QPainter painter(&face);
    painter.fillRect(0, 0, 4, 10, Qt::red);
    painter.fillRect(16, 0, 4, 10, Qt::blue);
    return face;
}

using GuiUtilityTest = uitest::UiTest;
// A box is a window of the program: like every window, it is built while the language object exists.
using DefaultMsgBox = uitest::UiTest;
using MsgBoxForm = uitest::UiTest;

TEST_F(DefaultMsgBox, AnswersWithTheStandardCodesAndShowsTheSignAsked) {
    const TShellCallsScope defaults(DefaultShellCalls());
    BoxAnswerer yes{[](TMsgBoxForm& box) { box.btnOkMe->click(); }};
    yes.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Stop now?"), kMbYesNo, kIconQuestion, 1), kIdYes);
    EXPECT_EQ(yes.text, QStringLiteral("Stop now?"));
    EXPECT_EQ(yes.sign, Sign("question"));
    EXPECT_TRUE(yes.twoButtons);
    EXPECT_EQ(yes.yes, QStringLiteral("Yes"));
    EXPECT_EQ(yes.caption, settings::DisplayName());

    BoxAnswerer no{[](TMsgBoxForm& box) { box.btnCancelMe->click(); }};
    no.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Stop now?"), kMbYesNo, kIconQuestion, 1), kIdNo);
    // Escape or the close button on a question answer No; Enter takes the focused Yes.
    BoxAnswerer escape{[](TMsgBoxForm& box) { QTest::keyClick(&box, Qt::Key_Escape); }};
    escape.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Stop now?"), kMbYesNo, kIconQuestion, 1), kIdNo);
    BoxAnswerer enter{[](TMsgBoxForm& box) { QTest::keyClick(&box, Qt::Key_Return); }};
    enter.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Stop now?"), kMbYesNo, kIconQuestion, 1), kIdYes);

    BoxAnswerer ok{[](TMsgBoxForm& box) { box.btnCloseMe->click(); }};
    ok.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("The job broke\r\nsecond line"), kMbOk, kIconJobError, 1), kIdOk);
    EXPECT_EQ(ok.text, QStringLiteral("The job broke\nsecond line"));
    EXPECT_EQ(ok.sign, Sign("error"));
    EXPECT_FALSE(ok.twoButtons);
    BoxAnswerer failure{[](TMsgBoxForm& box) { box.btnOkMe->click(); }};
    failure.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Cannot open"), kMbOk, kIconFailure, 1), kIdOk);
    EXPECT_EQ(failure.sign, Sign("warning"));
}

TEST_F(GuiUtilityTest, ABoxShownInGermanHasGermanButtons) {
    LoadGermanLanguage(
        "<CUI_TOptionForm_btnOkMe>OK</CUI_TOptionForm_btnOkMe>\n"
        "<RUI_TMsgBoxForm_Yes>Ja</RUI_TMsgBoxForm_Yes>\n"
        "<RUI_TMsgBoxForm_No>Nein</RUI_TMsgBoxForm_No>\n");
    const TShellCallsScope defaults(DefaultShellCalls());
    using uitest::Control;

    QString yes;
    QString no;
    BoxAnswerer question{[&](TMsgBoxForm& box) {
        yes = Control<TOruButton>(box, "btnOkMe")->Caption();
        no = Control<TOruButton>(box, "btnCancelMe")->Caption();
        Control<TOruButton>(box, "btnCancelMe")->click();
    }};
    question.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Jetzt anhalten?"), kMbYesNo, kIconQuestion), kIdNo);
    EXPECT_EQ(yes, QStringLiteral("Ja"));
    EXPECT_EQ(no, QStringLiteral("Nein"));

    // A box with one button shows the OK text, not the question's Yes.
    QString ok;
    BoxAnswerer notice{[&](TMsgBoxForm& box) {
        ok = Control<TOruButton>(box, "btnOkMe")->Caption();
        Control<TOruButton>(box, "btnOkMe")->click();
    }};
    notice.Arm();
    EXPECT_EQ(MsgBox(QStringLiteral("Fertig!"), kMbOk, kIconInfo), kIdOk);
    EXPECT_EQ(ok, QStringLiteral("OK"));
}

TEST_F(MsgBoxForm, FitsItsTextAndKeepsItsButtonsInside) {
    QStringList lines;
    for (int i = 0; i < 20; ++i)
        lines << QStringLiteral("/videos/a rather long folder name/clip number %1.mp4").arg(i);
    const auto box = CreateForm<TMsgBoxForm>(lines.join(QLatin1Char('\n')), kMbYesNo, kIconInfo);
    const QRect text = box->lblText->geometry();
    EXPECT_GE(text.height(), box->lblText->heightForWidth(text.width()));
    EXPECT_GT(box->btnOkMe->y(), text.bottom());
    EXPECT_EQ(box->btnOkMe->y(), box->btnCancelMe->y());
    EXPECT_LT(box->btnOkMe->geometry().right(), box->btnCancelMe->x());
    EXPECT_LE(box->btnCancelMe->geometry().right(), box->width() - 5);
    EXPECT_LE(box->btnCancelMe->geometry().bottom(), box->height() - 5);
    EXPECT_LE(text.right(), box->width() - 5);

    const auto small = CreateForm<TMsgBoxForm>(QStringLiteral("Finished!"), kMbOk, kIconInfo);
    EXPECT_GE(small->width(), 320);
    EXPECT_TRUE(small->btnCancelMe->isHidden());
    EXPECT_GT(small->btnOkMe->y(), small->lblText->geometry().bottom());
}

TEST_F(GuiUtilityTest, FilesFoldersAndPagesGoToTheDesktopAsUrls) {
    RunFile(QStringLiteral("/videos/a b.mp4"), QString());
    OpenDir(QStringLiteral("/videos/"), false);
    OpenFileDir(QStringLiteral("/videos/sub/c.mkv"), false);
    OpenUrl(QStringLiteral("https://www.brindlework.com/velmora/"));
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QStringLiteral("/videos/a b.mp4")));
    EXPECT_EQ(opened[1].toLocalFile(), QStringLiteral("/videos/"));
    EXPECT_EQ(opened[2].toLocalFile(), QStringLiteral("/videos/sub"));
    EXPECT_EQ(opened[3].toString(), QStringLiteral("https://www.brindlework.com/velmora/"));
}

TEST(ToQtFilter, TurnsThePipeFormIntoNameFilters) {
    EXPECT_EQ(ToQtFilter(QStringLiteral("All Video Files|*.avi;*.mp4|All Files(*.*)|*.*")),
              QStringLiteral("All Video Files (*.avi *.mp4);;All Files(*.*) (*.*)"));
    // An empty video mask leaves only the entry that has patterns; a dangling description is dropped.
    EXPECT_EQ(ToQtFilter(QStringLiteral("All Video Files||All Files(*.*)|*.*")),
              QStringLiteral("All Files(*.*) (*.*)"));
    EXPECT_EQ(ToQtFilter(QStringLiteral("Videos|*.mkv|Dangling")), QStringLiteral("Videos (*.mkv)"));
}

TEST(RoundRectRegion, CutsTheCornersOnly) {
    const QRegion region = RoundRectRegion(100, 50, 10);
    for (QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(99, 49)})
        EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
    for (QPoint inside : {QPoint(50, 0), QPoint(0, 25), QPoint(99, 25), QPoint(50, 49), QPoint(4, 4)})
        EXPECT_TRUE(region.contains(inside)) << inside.x() << "," << inside.y();
    EXPECT_TRUE(RoundRectRegion(0, 50, 10).isEmpty());
}

TEST(NoChangeSet, SetsTheValueWithoutRunningTheChangeHandlers) {
    QCheckBox box;
    QSignalSpy toggled(&box, &QCheckBox::toggled);
    EXPECT_TRUE(NoChangeSet(&box, true));
    EXPECT_TRUE(box.isChecked());
    QSpinBox number;
    number.setRange(8, 200000);
    QSignalSpy changed(&number, &QSpinBox::valueChanged);
    EXPECT_TRUE(NoChangeSet(&number, 64));
    EXPECT_EQ(number.value(), 64);
    EXPECT_EQ(toggled.count(), 0);
    EXPECT_EQ(changed.count(), 0);
    // Signals work again afterwards.
    box.setChecked(false);
    EXPECT_EQ(toggled.count(), 1);
    QLabel label;
    EXPECT_FALSE(NoChangeSet(&label, QStringLiteral("x")));  // no value to set
    EXPECT_FALSE(NoChangeSet(nullptr, 1));
}

TEST(BroadcastScreenMessage, ReachesEveryOpenWindowPostedOrAtOnce) {
    MessageSink first;
    MessageSink second;
    first.show();
    second.show();
    BroadcastScreenMessage(6429, 0, 0, true);
    EXPECT_TRUE(first.received.empty());  // posted: not yet
    QCoreApplication::processEvents();
    ASSERT_EQ(first.received.size(), 1u);
    ASSERT_EQ(second.received.size(), 1u);
    EXPECT_EQ(first.received[0], (std::array<std::uintptr_t, 3>{6429, 0, 0}));
    BroadcastScreenMessage(6429, 1, 2, false);
    ASSERT_EQ(second.received.size(), 2u);
    EXPECT_EQ(second.received[1], (std::array<std::uintptr_t, 3>{6429, 1, 2}));
}

TEST(OruButton, ShowsTheFaceOfItsStateAndFallsBackToUp) {
    TOruButton button;
    button.SetBitmaps(
        {Solid({20, 10}, Qt::white), Solid({20, 10}, Qt::yellow), Solid({20, 10}, Qt::black), {}});
    button.SetAutoSize(true);
    EXPECT_EQ(button.size(), QSize(20, 10));
    EXPECT_EQ(button.FaceState(), TOruButton::TFaceState::Up);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.FaceState(), TOruButton::TFaceState::Hot);
    button.setDown(true);
    EXPECT_EQ(button.FaceState(), TOruButton::TFaceState::Down);
    button.setDown(false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.FaceState(), TOruButton::TFaceState::Up);
    button.setCheckable(true);
    button.setChecked(true);  // a latched button shows its down face
    EXPECT_EQ(button.FaceState(), TOruButton::TFaceState::Down);
    button.setEnabled(false);
    EXPECT_EQ(button.FaceState(), TOruButton::TFaceState::Disabled);
    // No disabled face: the up face stands in.
    EXPECT_EQ(button.Face(TOruButton::TFaceState::Disabled).toImage().pixelColor(5, 5), QColor(Qt::white));

    QSignalSpy clicked(&button, &TOruButton::clicked);
    button.setEnabled(true);
    button.setCheckable(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(OruButton, AStretchedFaceKeepsItsEndsAsDrawn) {
    TOruButton button;
    button.SetBitmaps({ThreePartFace(), {}, {}, {}});
    button.SetStretch(true, 4, 4);
    button.resize(100, 30);
    const QImage shot = button.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(100, 30));
    for (int y : {0, 15, 29}) {
        EXPECT_EQ(shot.pixelColor(0, y), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(3, y), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(5, y), QColor(Qt::green));
        EXPECT_EQ(shot.pixelColor(50, y), QColor(Qt::green));
        EXPECT_EQ(shot.pixelColor(94, y), QColor(Qt::green));
        EXPECT_EQ(shot.pixelColor(96, y), QColor(Qt::blue));
        EXPECT_EQ(shot.pixelColor(99, y), QColor(Qt::blue));
    }
    // Narrower than both ends together: the ends share the width and nothing is drawn twice.
    button.resize(6, 10);
    const QImage narrow = button.grab().toImage();
    EXPECT_EQ(narrow.pixelColor(0, 5), QColor(Qt::red));
    EXPECT_EQ(narrow.pixelColor(5, 5), QColor(Qt::blue));
}

TEST(OruButton, TheCaptionIsDrawnInItsColourAtItsOffset) {
    TOruButton button;
    button.SetBitmaps({Solid({80, 24}, Qt::white), {}, {}, {}});
    button.SetAutoSize(true);
    button.SetCaption(QStringLiteral("IIIIII"));
    button.SetCaptionColor(Qt::black);
    const auto darkColumns = [&button] {
        const QImage shot = button.grab().toImage();
        int first = -1;
        for (int x = 0; x < shot.width() && first < 0; ++x)
            for (int y = 0; y < shot.height(); ++y)
                if (shot.pixelColor(x, y).lightness() < 100) {
                    first = x;
                    break;
                }
        return first;
    };
    const int centred = darkColumns();
    ASSERT_GT(centred, 0);
    button.SetOffX(10);
    EXPECT_EQ(darkColumns(), centred + 10);
}

}  // namespace
