// The main window and the dialogs as someone uses them without a mouse, and as a screen reader reads
// them: every control reached, named and given its role.
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>

#include <map>
#include <set>
#include <string_view>

#include "UiTestUtil.h"
#include "ui/MsgBoxForm.h"
#include "ui/OptionForm.h"
#include "ui/OruButton.h"
#include "ui/RiskWarnForm.h"

using namespace ui;
using uitest::Control;

namespace {

class KeyboardAndReaderTest : public uitest::MainFormTest {
protected:
    // Once a modal `Form` is up, presses `key` on it, as a user answers a dialog.
    template <class Form>
    static void PressOnDialog(Qt::Key key) {
        auto* watch = new QTimer(qApp);
        QObject::connect(watch, &QTimer::timeout, watch, [watch, key] {
            if (auto* dialog = qobject_cast<Form*>(QApplication::activeModalWidget())) {
                watch->stop();
                watch->deleteLater();
                QTest::keyClick(dialog, key);
            }
        });
        watch->start(10);
    }

    // Every control under `window` that a reader lands on, with the role and name it hears.
    struct Heard {
        QString object;
        QAccessible::Role role;
        QString name;
        const char* kind;  // the widget's class
    };
    static std::vector<Heard> Read(QWidget& window) {
        std::vector<Heard> heard;
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            if (node == nullptr) return;
            auto* widget = qobject_cast<QWidget*>(node->object());
            if (widget && widget->isVisibleTo(&window))
                heard.push_back({widget->objectName(), node->role(), node->text(QAccessible::Name),
                                 widget->metaObject()->className()});
            for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
        };
        walk(QAccessible::queryAccessibleInterface(&window));
        return heard;
    }
    // Fails naming every control a reader would find without a name, or with another role than `roles`
    // says for it.
    static void ExpectNamedAndRoled(QWidget& window, const std::map<QString, QAccessible::Role>& roles) {
        const std::set<QAccessible::Role> acting{
            QAccessible::Button,   QAccessible::PageTab,      QAccessible::Link,        QAccessible::CheckBox,
            QAccessible::ComboBox, QAccessible::EditableText, QAccessible::ProgressBar, QAccessible::Tree,
            QAccessible::List,     QAccessible::SpinBox};
        std::set<QString> found;
        for (const Heard& control : Read(window)) {
            found.insert(control.object);
            if (acting.contains(control.role)) {
                EXPECT_FALSE(control.name.isEmpty())
                    << control.object.toStdString() << " (role " << control.role << ", a " << control.kind
                    << ") has no name";
            }
            if (const auto expected = roles.find(control.object); expected != roles.end()) {
                EXPECT_EQ(control.role, expected->second) << control.object.toStdString();
            }
        }
        for (const auto& [object, role] : roles)
            EXPECT_TRUE(found.contains(object)) << object.toStdString() << " is not read at all";
    }
};

TEST_F(KeyboardAndReaderTest, AWholeRunByTheKeyboardAlone) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    TShellCalls calls = ShellCalls();
    // The real dialogs, answered by keys; counted as the stand-ins count them.
    calls.ShowOptionsDialog = [this] {
        ++optionDialogs;
        return DefaultShellCalls().ShowOptionsDialog();
    };
    calls.ShowRiskWarning = [this] {
        ++riskWarnings;
        return DefaultShellCalls().ShowRiskWarning();
    };
    const TShellCallsScope realDialogs(std::move(calls));

    // Ctrl+O: the open dialog, whose answer is the files; Delete on the list removes the selected row.
    const QString a = MakeFile("a.mp4", 600'000);
    fileAnswers.push_back(QStringList{a, MakeFile("b.mp4", 600'000)});
    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    auto* list = Control<QAbstractItemView>(*form, "lvFiles");
    list->setFocus();
    list->setCurrentIndex(form->FileList()->index(1, 0));
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(form->FileList()->Count(), 1);
    EXPECT_EQ(form->FileList()->Path(0), a);

    // F1 opens Help; Up wraps to "Options..."; Return opens it, and Escape closes it unsaved.
    QTest::keyClick(form.get(), Qt::Key_F1);
    auto* help = Control<QMenu>(*form, "pmHelp");
    ASSERT_TRUE(WaitFor([&] { return help->isVisible(); }, 5000));
    QTest::keyClick(help, Qt::Key_Up);
    ASSERT_EQ(help->activeAction(), Control<QAction>(*form, "pmiOption"));
    PressOnDialog<TOptionForm>(Qt::Key_Escape);
    QTest::keyClick(help, Qt::Key_Return);
    ASSERT_TRUE(
        WaitFor([&] { return optionDialogs == 1 && QApplication::activeModalWidget() == nullptr; }, 5000));

    // Tab reaches the run button; Space presses it; Return confirms the backup warning.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto* run = Control<TOruButton>(*form, "btnEncrypt");
    for (int tabs = 0; tabs < 40 && QApplication::focusWidget() != run; ++tabs)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), run);
    PressOnDialog<TRiskWarnForm>(Qt::Key_Return);
    QTest::keyClick(run, Qt::Key_Space);
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }, 30000))
        << "warnings: " << riskWarnings << " job: " << (form->Job() != nullptr) << " show "
        << settings::Settings->ShowRiskWarn();
    EXPECT_EQ(riskWarnings, 1);
    EXPECT_TRUE(boxes.back().text.startsWith(QStringLiteral("Finished!"))) << boxes.back().text.toStdString();
    EXPECT_TRUE(engine::IsEncryptedFile(platform::ToLocal8Bit(a)));
}

TEST_F(KeyboardAndReaderTest, TabVisitsEveryControlOfTheWindowOnce) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const char* mode : {"btnFiles", "btnDirectory"}) {
        Control<TOruButton>(*form, mode)->click();
        std::vector<QWidget*> visited;
        QWidget* start = Control<QWidget>(*form, "btnFiles");
        start->setFocus();
        do {
            visited.push_back(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        } while (QApplication::focusWidget() != start && visited.size() < 60);
        std::set<QString> names;
        for (QWidget* widget : visited) names.insert(widget->objectName());
        EXPECT_EQ(names.size(), visited.size()) << mode << ": a control is visited twice";
        for (const char* control : {"btnEncrypt", "btnHelp", "btnMin", "btnClose", "cbxKey", "cbFileType"})
            EXPECT_TRUE(names.contains(QLatin1String(control))) << mode << ": Tab never reaches " << control;
        const bool files = std::string_view(mode) == "btnFiles";
        for (const char* control : {"lvFiles", "btnAdd", "btnDelete", "btnClear", "btnRefresh"})
            EXPECT_EQ(names.contains(QLatin1String(control)), files) << mode << ": " << control;
        for (const char* control : {"cbPath", "btnPath3", "btnLocate2", "cbxSub3"})
            EXPECT_EQ(names.contains(QLatin1String(control)), !files) << mode << ": " << control;
    }
    // The mode tabs are one stop, as tabs are: the arrow keys go from one to the other.
    Control<TOruButton>(*form, "btnFiles")->click();
    Control<QWidget>(*form, "btnFiles")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), Control<QWidget>(*form, "btnDirectory"));
}

TEST_F(KeyboardAndReaderTest, AScreenReaderHearsEveryControlByNameAndRole) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Control<QCheckBox>(*form, "cbxKey")->setChecked(true);  // the key band open
    Control<QWidget>(*form, "ProgressBar1")->show();
    Control<QWidget>(*form, "lblDetail1")->show();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->role(), QAccessible::Window);
    ExpectNamedAndRoled(*form, {{"btnFiles", QAccessible::PageTab},
                                {"btnDirectory", QAccessible::PageTab},
                                {"btnMin", QAccessible::Button},
                                {"btnClose", QAccessible::Button},
                                {"btnHelp", QAccessible::Button},
                                {"btnAdd", QAccessible::Button},
                                {"btnDelete", QAccessible::Button},
                                {"btnEncrypt", QAccessible::Button},
                                {"lblSIBP", QAccessible::Link},
                                {"lblDetail1", QAccessible::Link},
                                {"edtKey", QAccessible::EditableText},
                                {"ProgressBar1", QAccessible::ProgressBar}});
    Control<TOruButton>(*form, "btnDirectory")->click();
    ExpectNamedAndRoled(*form, {{"cbPath", QAccessible::ComboBox}, {"btnLocate3", QAccessible::Button}});
    EXPECT_EQ(Control<QWidget>(*form, "cbPath2")->accessibleName(), QStringLiteral("Directory 2"));

    // The dialogs, as they are shown.
    auto options = CreateForm<TOptionForm>();
    options->LoadOptions();
    options->show();
    ExpectNamedAndRoled(*options, {{"btnCloseMe", QAccessible::Button}, {"btnOkMe", QAccessible::Button}});
    auto warning = CreateForm<TRiskWarnForm>();
    warning->show();
    ExpectNamedAndRoled(*warning, {{"btnOK", QAccessible::Button}, {"cbxStop", QAccessible::CheckBox}});
    auto box = CreateForm<TMsgBoxForm>(QStringLiteral("Stop?"), kMbYesNo, kIconQuestion);
    box->show();
    ExpectNamedAndRoled(*box, {{"btnOkMe", QAccessible::Button}, {"btnCancelMe", QAccessible::Button}});
}

}  // namespace
