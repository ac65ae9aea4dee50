// The window frame: resize zones and their corners, the title strip's move, scaling at other
// resolutions, Escape and the dialog buttons, fonts by system language, and controls keeping their
// anchors.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "UiTestUtil.h"
#include "ui/Anchors.h"
#include "ui/BaseUIForm.h"
#include "ui/MainForm.h"
#include "ui/OruButton.h"
#include "ui/RiskWarnForm.h"
#include "ui/SkinImage.h"

using namespace ui;
using uitest::Control;

namespace {

// Records what the frame would hand to the window manager, and can pretend another resolution.
template <class TForm>
class Probe : public TForm {
public:
    explicit Probe(double dpi = 96) : dpi_(dpi) {}
    double ScreenDpi() const override { return dpi_; }
    void AdjustForDpi() override {
        ++adjusted;
        TForm::AdjustForDpi();
    }
    int moves = 0;
    int cancels = 0;
    int adjusted = 0;
    std::vector<Qt::Edges> resizes;

protected:
    void HandSystemMove() override { ++moves; }
    void HandSystemResize(Qt::Edges edges) override { resizes.push_back(edges); }
    void CancelSystemMoveResize() override { ++cancels; }

private:
    double dpi_;
};

TResizeBorders MainBorders() {
    TResizeBorders b;
    b.LeftWidth = b.RightWidth = b.BottomHeight = 8;
    b.TopHeight = 4;
    b.TopLeftWidth = b.TopLeftHeight = b.BottomLeftWidth = b.BottomLeftHeight = 12;
    b.TopRightWidth = b.TopRightHeight = b.BottomRightWidth = b.BottomRightHeight = 12;
    return b;
}

void SendMouseMove(QWidget* target, QPoint pos, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, pos, target->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

using FrameTest = uitest::UiTest;

TEST(ResizeZones, CornersWinAndEdgesEndWhereTheirWidthsSay) {
    const QSize client(688, 507);
    const TResizeBorders b = MainBorders();
    const auto at = [&](int x, int y) { return ResizeZoneAt({x, y}, client, b); };
    EXPECT_EQ(at(5, 2), HTTOPLEFT);  // 2 px from the top and 5 from the left: the corner, not an edge
    EXPECT_EQ(at(11, 11), HTTOPLEFT);
    EXPECT_EQ(at(12, 11), HTCLIENT);  // past the corner; below the 4 px top edge; right of the 8 px left edge
    EXPECT_EQ(at(300, 6), HTCLIENT);  // the top edge is 4 px
    EXPECT_EQ(at(300, 3), HTTOP);
    EXPECT_EQ(at(6, 300), HTLEFT);  // the left edge is 8 px
    EXPECT_EQ(at(8, 300), HTCLIENT);
    EXPECT_EQ(at(687, 300), HTRIGHT);
    EXPECT_EQ(at(680, 300), HTRIGHT);
    EXPECT_EQ(at(679, 300), HTCLIENT);
    EXPECT_EQ(at(300, 499), HTBOTTOM);
    EXPECT_EQ(at(300, 498), HTCLIENT);
    EXPECT_EQ(at(687, 506), HTBOTTOMRIGHT);
    EXPECT_EQ(at(676, 495), HTBOTTOMRIGHT);
    EXPECT_EQ(at(0, 506), HTBOTTOMLEFT);
    EXPECT_EQ(at(11, 495), HTBOTTOMLEFT);
    EXPECT_EQ(at(687, 0), HTTOPRIGHT);
    EXPECT_EQ(at(676, 11), HTTOPRIGHT);
    EXPECT_EQ(at(675, 0), HTTOP);
    // Where two corner zones meet on a tiny window, the order decides: top left before bottom right.
    EXPECT_EQ(ResizeZoneAt({5, 5}, {10, 10}, b), HTTOPLEFT);

    EXPECT_EQ(EdgesOfZone(HTTOPLEFT), Qt::TopEdge | Qt::LeftEdge);
    EXPECT_EQ(EdgesOfZone(HTBOTTOMRIGHT), Qt::BottomEdge | Qt::RightEdge);
    EXPECT_EQ(EdgesOfZone(HTCLIENT), Qt::Edges());
    EXPECT_EQ(CursorOfZone(HTLEFT), Qt::SizeHorCursor);
    EXPECT_EQ(CursorOfZone(HTTOPRIGHT), Qt::SizeBDiagCursor);
}

TEST_F(FrameTest, TheMainWindowResizesFromItsEdgesButNotWhenMaximisedAndDialogsNever) {
    auto main = CreateForm<Probe<TMainForm>>();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    QWindow* window = main->windowHandle();
    ASSERT_NE(window, nullptr);

    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(5, 2));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(5, 2));
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(main->width() - 3, 300));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(main->width() - 3, 300));
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(300, 300));  // inside: no resize
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(300, 300));
    ASSERT_EQ(main->resizes.size(), 2u);
    EXPECT_EQ(main->resizes[0], Qt::TopEdge | Qt::LeftEdge);
    EXPECT_EQ(main->resizes[1], Qt::RightEdge);

    EXPECT_EQ(main->HitTest({2, 300}), HTLEFT);
    main->showMaximized();
    ASSERT_TRUE(WaitFor([&] { return main->isMaximized(); }));
    EXPECT_EQ(main->HitTest({2, 300}), HTCLIENT);
    EXPECT_EQ(main->HitTest({5, 2}), HTCLIENT);

    auto dialog = CreateForm<Probe<TRiskWarnForm>>();
    EXPECT_EQ(dialog->HitTest({1, 1}), HTCLIENT);
    EXPECT_EQ(dialog->HitTest({1, 100}), HTCLIENT);
}

// A press on the strip hands the window to the window manager once; the manager owns the drag until
// the release, which the toolkit may never hear of, so the moves that follow must not start it again.
TEST_F(FrameTest, TheTitleStripHandsOneMovePerPressToTheWindowManager) {
    auto dialog = CreateForm<Probe<TRiskWarnForm>>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QWindow* window = dialog->windowHandle();
    const auto drag = [&](QPoint from) {
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 3; ++step) QTest::mouseMove(window, from + QPoint(10 * step, 5 * step));
        QTest::mouseRelease(window, Qt::LeftButton, {}, from + QPoint(30, 15));
    };
    drag({200, 27});  // the strip is 28 px high
    EXPECT_EQ(dialog->moves, 1);
    drag({3, 3});  // the corner picture is part of the strip
    drag(dialog->lblCaption->geometry().center());
    EXPECT_EQ(dialog->moves, 3);
    drag({200, 60});                                         // below the strip
    SendMouseMove(dialog->imgTop, {200, 10}, Qt::NoButton);  // a hover moves nothing
    // Moves that still report the button held after the manager took the drag start nothing.
    SendMouseMove(dialog->imgTop, {220, 10}, Qt::LeftButton);
    EXPECT_EQ(dialog->moves, 3);
    // No window manager took these drags, so the window saw every release and withdrew each hand-over;
    // the press below the strip handed nothing over and withdrew nothing.
    EXPECT_EQ(dialog->cancels, 3);

    auto main = CreateForm<Probe<TMainForm>>();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    window = main->windowHandle();
    drag({300, 26});
    drag(Control<QLabel>(*main, "lblTitle")->geometry().center());
    EXPECT_EQ(main->moves, 2);
    drag({300, 27});  // the main window's limit is 26
    EXPECT_EQ(main->moves, 2);
    drag({300, 2});  // a press in the top resize zone resizes and never moves
    EXPECT_EQ(main->moves, 2);
    EXPECT_EQ(main->resizes.size(), 1u);
    EXPECT_EQ(main->cancels, 3);
    main->showMaximized();
    ASSERT_TRUE(WaitFor([&] { return main->isMaximized(); }));
    drag({300, 10});
    EXPECT_EQ(main->moves, 2);
}

// The first position is decided before the native window exists: centred, on the screen, over the
// window that was active for a dialog, which also becomes the dialog's transient parent.
TEST_F(FrameTest, WindowsFirstAppearCentredAndDialogsOverTheWindowTheyBelongTo) {
    auto main = CreateForm<TMainForm>();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    EXPECT_EQ(main->geometry().center(), screen.center());
    main->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == main.get(); }));

    main->move(screen.topLeft() + QPoint(10, 20));
    ASSERT_TRUE(
        WaitFor([&] { return main->windowHandle()->position() == screen.topLeft() + QPoint(10, 20); }));
    auto dialog = CreateForm<TRiskWarnForm>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    EXPECT_EQ(dialog->geometry().center(), main->frameGeometry().center());
    EXPECT_EQ(dialog->windowHandle()->transientParent(), main->windowHandle());
    // The toolkit's own idea of the native window agrees with the widget's: menus are placed by it.
    EXPECT_EQ(dialog->windowHandle()->geometry(), dialog->geometry());

    // Over a window that is mostly off the screen, a dialog still appears whole on it.
    dialog.reset();
    main->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == main.get(); }));
    main->move(screen.topLeft() - QPoint(600, 400));
    ASSERT_TRUE(
        WaitFor([&] { return main->windowHandle()->position() == screen.topLeft() - QPoint(600, 400); }));
    auto offside = CreateForm<TRiskWarnForm>();
    offside->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(offside.get()));
    EXPECT_EQ(offside->pos(), screen.topLeft());
}

TEST(ScaleValue, IsExactAt96DpiAndRoundsDownElsewhere) {
    EXPECT_EQ(TBaseForm::ScaleValue(100, 1.0), 100);
    EXPECT_EQ(TBaseForm::ScaleValue(7, 1.0), 7);
    EXPECT_EQ(TBaseForm::ScaleValue(100, 120.0 / 96), 125);
    EXPECT_EQ(TBaseForm::ScaleValue(7, 120.0 / 96), 8);  // 8.75
    EXPECT_EQ(TBaseForm::ScaleValue(10, 144.0 / 96), 15);
}

TEST_F(FrameTest, AtAnotherResolutionTheDialogIsScaledAndItsFrameFixedUp) {
    auto normal = CreateForm<Probe<TRiskWarnForm>>(96.0);
    EXPECT_EQ(normal->adjusted, 0);
    EXPECT_EQ(normal->size(), QSize(457, 180));
    EXPECT_EQ(normal->ScaleValue(7), 7);

    auto scaled = CreateForm<Probe<TRiskWarnForm>>(120.0);
    EXPECT_EQ(scaled->adjusted, 1);
    EXPECT_EQ(scaled->ScaleValue(7), 8);
    EXPECT_EQ(scaled->size(), QSize(571, 225));
    EXPECT_EQ(scaled->btnCloseMe->pos(), QPoint(scaled->width() - 34, 4));
    EXPECT_EQ(scaled->lblCaption->y(), 4);
    EXPECT_EQ(scaled->Label1->geometry().topLeft(), QPoint(88, 63));  // 70, 50 scaled
    // The frame pictures keep their own sizes at the edges.
    EXPECT_EQ(scaled->imgRight->geometry(), QRect(scaled->width() - 5, 0, 5, scaled->imgRight->height()));
    EXPECT_EQ(scaled->imgBottom->y(), scaled->height() - 5);
    EXPECT_EQ(scaled->imgTop->height(), 28);
    EXPECT_EQ(scaled->imgBottomRight->pos(), QPoint(scaled->width() - 5, scaled->height() - 5));
    // Later resizes still follow the anchors from the scaled layout.
    SetClientSize(scaled.get(), scaled->width() + 10, scaled->height());
    EXPECT_EQ(scaled->btnCloseMe->x(), scaled->width() - 34);
}

TEST_F(FrameTest, EscapeCancelsADialogButNotWithShiftCtrlOrAlt) {
    auto dialog = CreateForm<TRiskWarnForm>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QTest::keyClick(dialog->cbxStop, Qt::Key_Escape, Qt::ShiftModifier);
    QTest::keyClick(dialog.get(), Qt::Key_Escape, Qt::ControlModifier);
    QTest::keyClick(dialog.get(), Qt::Key_Escape, Qt::AltModifier);
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog->cbxStop, Qt::Key_Escape);  // reaches the window from the focused control
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), mrCancel);

    // The main window is not closed by Escape.
    auto main = CreateForm<TMainForm>();
    main->show();
    QTest::keyClick(main.get(), Qt::Key_Escape);
    EXPECT_TRUE(main->isVisible());
}

TEST_F(FrameTest, TheDialogButtonsGiveTheirModalResults) {
    const auto runWith = [](const std::function<void(TBaseUIForm&)>& act) {
        auto dialog = CreateForm<TBaseUIForm>();
        QTimer::singleShot(0, dialog.get(), [&] { act(*dialog); });
        return dialog->ShowModal();
    };
    EXPECT_EQ(runWith([](TBaseUIForm& d) { d.btnOkMe->click(); }), mrOk);
    EXPECT_EQ(runWith([](TBaseUIForm& d) { d.btnCancelMe->click(); }), mrCancel);
    EXPECT_EQ(runWith([](TBaseUIForm& d) { d.btnCloseMe->click(); }), mrCancel);
    EXPECT_EQ(runWith([](TBaseUIForm& d) { QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);
}

TEST_F(FrameTest, FontsFollowTheSystemLanguage) {
    const auto families = [](QWidget& form) {
        QStringList found{form.font().family()};
        for (QWidget* control : form.findChildren<QWidget*>())
            if (!control->isWindow()) found << control->font().family();  // menus use the system's
        found.removeDuplicates();
        return found;
    };
    auto english = CreateForm<TMainForm>();
    english->SetFormFonts(1033);
    EXPECT_EQ(families(*english), QStringList{QStringLiteral("Arial")});
    english->SetFormFonts(2052);
    EXPECT_EQ(families(*english), QStringList{QStringLiteral("Arial")});

    auto korean = CreateForm<TMainForm>();
    const int titleSize = Control<QLabel>(*korean, "lblTitle")->font().pixelSize();
    korean->SetFormFonts(1042);
    EXPECT_EQ(families(*korean), QStringList{QStringLiteral("Tahoma")});
    // Only the face changes: sizes and weights stay.
    EXPECT_TRUE(Control<QLabel>(*korean, "lblTitle")->font().bold());
    EXPECT_EQ(Control<QLabel>(*korean, "lblTitle")->font().pixelSize(), titleSize);
    EXPECT_EQ(Control<TOruButton>(*korean, "btnFiles")->font().pixelSize(), 16);

    for (std::uint16_t other : {1041, 1049, 1031}) {
        auto dialog = CreateForm<TRiskWarnForm>();
        dialog->SetFormFonts(other);
        EXPECT_EQ(families(*dialog), QStringList{QStringLiteral("Tahoma")}) << other;
    }
}

TEST_F(FrameTest, ControlsKeepTheirAnchorsWhenTheWindowIsResized) {
    auto dialog = CreateForm<TRiskWarnForm>();
    // Built at 507 × 440, resized to 457 × 180: the frame's right and bottom parts followed.
    EXPECT_EQ(dialog->btnCancelMe->geometry(), QRect(351, 138, 78, 23));
    EXPECT_EQ(dialog->btnCloseMe->pos(), QPoint(421, 3));
    EXPECT_EQ(dialog->imgTop->geometry(), QRect(0, 0, 457, 28));
    EXPECT_EQ(dialog->imgRight->geometry(), QRect(452, 0, 5, 180));
    EXPECT_EQ(dialog->imgBottomRight->pos(), QPoint(452, 175));
    EXPECT_EQ(dialog->btnOK->pos(), QPoint(24, 138));

    // A control that code moved keeps its new place when the window is resized later.
    dialog->btnCancelMe->move(300, 100);
    SetClientSize(dialog.get(), 477, 200);
    EXPECT_EQ(dialog->btnCancelMe->pos(), QPoint(320, 120));
    EXPECT_EQ(dialog->imgLeft->height(), 200);
    EXPECT_EQ(dialog->lblCaption->pos(), QPoint(40, 5));

    // A resize that arrives as an event (the user dragging an edge) is applied too.
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->resize(497, 210);
    EXPECT_TRUE(WaitFor([&] { return dialog->btnCloseMe->x() == 461; }));
    EXPECT_EQ(dialog->imgBottom->geometry(), QRect(0, 205, 497, 5));
}

TEST_F(FrameTest, TheOutlineIsRoundedAndFollowsTheSize) {
    auto dialog = CreateForm<TRiskWarnForm>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QRegion mask = dialog->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(456, 179)));
    EXPECT_TRUE(mask.contains(QPoint(228, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, 90)));
    EXPECT_TRUE(mask.contains(QPoint(5, 5)));
    dialog->resize(600, 300);
    EXPECT_TRUE(WaitFor([&] { return dialog->mask().contains(QPoint(590, 150)); }));
    EXPECT_FALSE(dialog->mask().contains(QPoint(599, 299)));
}

}  // namespace
