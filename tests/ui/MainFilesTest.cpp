// The main window's upper part: the two modes, adding files by the dialog and by dropping, removing,
// refreshing the state icons, the hint of the empty list, the list's popup, the directory rows with
// their history, the Help menu, and the key band.
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>

#include "UiTestUtil.h"
#include "ui/DirectoryPanel.h"
#include "ui/FileListView.h"
#include "ui/FilesPanel.h"
#include "ui/LinkLabel.h"
#include "ui/MainForm.h"
#include "ui/OptionForm.h"
#include "ui/OruButton.h"
#include "ui/SkinImage.h"

using namespace ui;
using uitest::Control;

namespace {

class MainFilesTest : public uitest::MainFormTest {
protected:
    // Drops the paths onto `target` as a file manager would, and lets the window take them.
    void Drop(QWidget* target, const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        const QPoint at(20, 20);
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        dropAccepted = enter.isAccepted() && drop.isAccepted();
        QCoreApplication::processEvents();
    }
    void SelectRows(std::initializer_list<int> rows) {
        lvFilesSelection()->clearSelection();
        for (int row : rows)
            lvFilesSelection()->select(form->FileList()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QItemSelectionModel* lvFilesSelection() const {
        return Control<TFileListView>(*form, "lvFiles")->selectionModel();
    }

    // Pixels of the hint's grey inside `area` of the list's picture.
    int GreyPixels(const QRect& area) const {
        const QImage shot = Control<TFileListView>(*form, "lvFiles")->viewport()->grab().toImage();
        int count = 0;
        for (int y = std::max(0, area.top()); y <= std::min(shot.height() - 1, area.bottom()); ++y)
            for (int x = std::max(0, area.left()); x <= std::min(shot.width() - 1, area.right()); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.red() == c.green() && c.green() == c.blue() && c.red() >= 120 && c.red() <= 140)
                    ++count;
            }
        return count;
    }

    bool dropAccepted = false;
};

TEST_F(MainFilesTest, StartsInFilesModeWithTheBandClosedAndTheDisplayNameAsTitle) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Brindlework Velmora"));
    EXPECT_EQ(Control<QLabel>(*form, "lblTitle")->text(), QStringLiteral("Brindlework Velmora"));
    EXPECT_EQ(form->size(), QSize(688, 507));
    EXPECT_EQ(form->minimumSize(), QSize(680, 500));
    EXPECT_TRUE(form->FilesMode());
    EXPECT_FALSE(Control<QWidget>(*form, "pnlFiles")->isHidden());
    EXPECT_TRUE(Control<QWidget>(*form, "pnlDirectory")->isHidden());
    EXPECT_TRUE(Control<TOruButton>(*form, "btnFiles")->isChecked());
    EXPECT_EQ(Control<TOruButton>(*form, "btnFiles")->CaptionColor(), QColor(Qt::white));
    EXPECT_EQ(Control<TOruButton>(*form, "btnDirectory")->CaptionColor(), QColor(62, 85, 119));
    // Closing the band at creation shrank the window and the lower panel; the file area stayed.
    EXPECT_EQ(Control<QWidget>(*form, "pnlFiles")->geometry(), QRect(8, 84, 672, 205));
    EXPECT_EQ(Control<QWidget>(*form, "pnlDirectory")->geometry(), QRect(8, 84, 672, 205));
    EXPECT_EQ(Control<TFileListView>(*form, "lvFiles")->geometry(), QRect(84, 16, 553, 177));
    EXPECT_EQ(Control<QWidget>(*form, "pnlEncrypt")->geometry(), QRect(8, 289, 672, 210));
    EXPECT_TRUE(Control<QLineEdit>(*form, "edtKey")->isHidden());
    EXPECT_TRUE(Control<QLabel>(*form, "lblKey")->isHidden());
    EXPECT_FALSE(Control<QCheckBox>(*form, "cbxKey")->isChecked());
    EXPECT_TRUE(Control<QProgressBar>(*form, "ProgressBar1")->isHidden());
    EXPECT_TRUE(Control<TLinkLabel>(*form, "lblDetail1")->isHidden());
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt / Decrypt"));
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->count(), 3);
    EXPECT_EQ(Control<QComboBox>(*form, "cbFileType")->currentIndex(), 0);
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: "));
    EXPECT_FALSE(Control<TLinkLabel>(*form, "lblSIBP")->isHidden());
    EXPECT_FALSE(Control<QAction>(*form, "pmiLanguage")->isVisible());  // no languages listed
    EXPECT_FALSE(Control<QAction>(*form, "pmiLog")->isVisible());
    EXPECT_EQ(Control<TFileListView>(*form, "lvFiles")->header()->sectionSize(0), 20);
    EXPECT_EQ(form->FileList()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("File"));
    EXPECT_FALSE(Files()->ListChanged());
}

TEST_F(MainFilesTest, TheDialogAddsEveryChosenFileInOrderWithItsStateAndNoDuplicateCheck) {
    const QString plain = MakeFile("plain.mp4", 600'000);
    const QString encrypted = MakeFile("done.avi", 600'000);
    Encrypt(encrypted);
    const QString small = MakeFile("small.mkv", 1000);
    AddFiles({plain, encrypted, small, plain});
    EXPECT_EQ(Paths(), QStringList({plain, encrypted, small, plain}));
    EXPECT_EQ(Images(), (std::vector<int>{kImageNone, kImageEncrypted, kImageNone, kImageNone}));
    EXPECT_TRUE(Files()->ListChanged());
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(fileFilters.size(), 1u);
    EXPECT_TRUE(fileFilters[0].startsWith(QStringLiteral("All Video Files (*.asf *.avi *.wm ")));
    EXPECT_TRUE(fileFilters[0].endsWith(QStringLiteral(" *.ogx);;All Files(*.*) (*.*)")));

    // A cancelled dialog changes nothing.
    ListTakenByARun();
    Control<TOruButton>(*form, "btnAdd")->click();
    EXPECT_EQ(form->FileList()->Count(), 4);
    EXPECT_FALSE(Files()->ListChanged());
}

TEST_F(MainFilesTest, AFileThatCannotBeOpenedStopsTheBatchWithAnErrorNamingIt) {
    const QString first = MakeFile("first.mp4", 700'000);
    const QString gone = Path("gone.mp4");
    const QString after = MakeFile("after.mp4", 700'000);
    AddFiles({first, gone, after});
    EXPECT_EQ(Paths(), QStringList{first});
    EXPECT_TRUE(Files()->ListChanged());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(gone));
    EXPECT_EQ(boxes[0].buttons, kMbOk);

    // Nothing added before the failure: the flag stays as it was.
    ListTakenByARun();
    AddFiles({gone});
    EXPECT_FALSE(Files()->ListChanged());
    EXPECT_EQ(form->FileList()->Count(), 1);
}

TEST_F(MainFilesTest, DropsTakeVideoFilesAndFoldersVideosInDropOrderWithTheirWholePath) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString text = MakeFile("notes.txt", 600'000);
    const QString upper = MakeFile("B.MKV", 600'000);
    // A folder gives its own videos, sorted as file managers sort names, not its subfolders'.
    const QString folder = Path("folder");
    const QStringList inFolder{MakeFile("folder/clip 2.avi", 600'000),
                               MakeFile("folder/Clip 10.mov", 600'000)};
    MakeFile("folder/readme.txt", 10);
    MakeFile("folder/sub/deeper.mp4", 600'000);
    const QString emptyFolder = Path("empty");
    QDir().mkpath(emptyFolder);
    // A path far beyond 255 characters must arrive whole, not cut.
    std::string deep = "deep";
    for (int i = 0; i < 12; ++i) deep += "/a-rather-long-folder-name-" + std::to_string(i);
    const QString longPath = MakeFile(deep + "/clip.avi", 600'000);
    ASSERT_GT(longPath.size(), 300);

    Drop(Control<TFileListView>(*form, "lvFiles")->viewport(), {a, text, upper, folder, longPath});
    EXPECT_TRUE(dropAccepted);
    const QStringList expected = QStringList{a, upper} + inFolder + QStringList{longPath};
    EXPECT_EQ(Paths().join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_EQ(Files()->ChosenFiles(), expected);
    EXPECT_TRUE(boxes.empty());

    // Nothing acceptable: nothing changes, but the remembered selection is replaced.
    ListTakenByARun();
    Drop(Control<TFileListView>(*form, "lvFiles")->viewport(), {text, emptyFolder});
    EXPECT_EQ(form->FileList()->Count(), expected.size());
    EXPECT_FALSE(Files()->ListChanged());
    EXPECT_TRUE(Files()->ChosenFiles().isEmpty());

    // Only the list takes drops.
    Drop(Control<QWidget>(*form, "pnlEncrypt"), {a});
    EXPECT_EQ(form->FileList()->Count(), expected.size());
}

// A folder is a folder whatever its name: one called like a video gives its videos, and a video that
// cannot be opened still stops the rest of the drop with a box naming it.
TEST_F(MainFilesTest, AFolderWithAVideoNameGivesItsVideosAndAMissingVideoStopsTheDrop) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString inside = MakeFile("holiday.mp4/day one.mp4", 600'000);
    const QString gone = Path("gone.mp4");
    const QString b = MakeFile("b.mp4", 600'000);
    Drop(Control<TFileListView>(*form, "lvFiles")->viewport(), {a, Path("holiday.mp4"), gone, b});
    EXPECT_EQ(Paths(), (QStringList{a, inside}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(gone)) << boxes[0].text.toStdString();
}

// What the command line of this start or of a later one names: Files mode, the videos added as a drop
// adds them, once the window is shown, and the window in front.
TEST_F(MainFilesTest, PathsFromACommandLineJoinTheListInFilesModeOnceTheWindowShows) {
    const QString a = MakeFile("from shell/a.mkv", 600'000);
    const QString b = MakeFile("from shell/b.webm.mp4", 600'000);
    MakeFile("from shell/notes.txt", 10);
    AddFiles({a});
    Control<TOruButton>(*form, "btnDirectory")->click();
    ASSERT_FALSE(form->FilesMode());

    form->hide();
    form->OpenPaths({Path("from shell"), Path("from shell/notes.txt")});
    QCoreApplication::processEvents();
    EXPECT_EQ(form->FileList()->Count(), 1) << "nothing before the window shows";
    form->showMinimized();
    EXPECT_TRUE(WaitFor([&] { return form->FileList()->Count() == 3; }, 5000));
    EXPECT_EQ(Paths(), (QStringList{a, a, b}));
    EXPECT_TRUE(form->FilesMode());
    EXPECT_FALSE(form->isMinimized()) << "brought back to the front";
    EXPECT_TRUE(boxes.empty());

    // A later start's paths while the window is up; a missing video is told as a drop tells it.
    form->OpenPaths({Path("from shell/missing.mp4")}, QStringLiteral("token-of-the-later-start"));
    EXPECT_TRUE(WaitFor([&] { return !boxes.empty(); }, 5000));
    EXPECT_TRUE(boxes[0].text.contains(Path("from shell/missing.mp4")));
    EXPECT_EQ(form->FileList()->Count(), 3);
}

TEST_F(MainFilesTest, RemovingSetsTheChangeFlagEvenWhenNothingGoes) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString b = MakeFile("b.mp4", 600'000);
    const QString c = MakeFile("c.mp4", 600'000);
    const QString d = MakeFile("d.mp4", 600'000);
    AddFiles({a, b, c, d});
    Files()->BeginRun();                               // a run takes the list as it is
    Control<TOruButton>(*form, "btnDelete")->click();  // nothing selected
    EXPECT_TRUE(Files()->ListChanged());
    EXPECT_EQ(form->FileList()->Count(), 4);

    SelectRows({0, 2});
    ListTakenByARun();
    Control<TOruButton>(*form, "btnDelete")->click();
    EXPECT_EQ(Paths(), QStringList({b, d}));
    EXPECT_TRUE(Files()->ListChanged());

    Control<TOruButton>(*form, "btnClear")->click();
    EXPECT_EQ(form->FileList()->Count(), 0);
    Files()->BeginRun();                              // a run takes the list as it is
    Control<TOruButton>(*form, "btnClear")->click();  // already empty
    EXPECT_TRUE(Files()->ListChanged());
}

TEST_F(MainFilesTest, RemovingManyScatteredRowsKeepsTheOthersInOrder) {
    QStringList files;
    for (int i = 0; i < 300; ++i) files << MakeFile("f" + std::to_string(i) + ".mp4", 10);
    AddFiles(files);
    lvFilesSelection()->clearSelection();
    for (int row = 0; row < 300; row += 2)
        lvFilesSelection()->select(form->FileList()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Control<TOruButton>(*form, "btnDelete")->click();
    QStringList odd;
    for (int i = 1; i < 300; i += 2) odd << files[i];
    EXPECT_EQ(Paths(), odd);
}

TEST_F(MainFilesTest, TheKeyShowsByDefaultAndCanBeHiddenForTheSession) {
    auto* key = Control<QLineEdit>(*form, "edtKey");
    auto* eye = Control<QAction>(*form, "actShowKey");
    Control<QCheckBox>(*form, "cbxKey")->setChecked(true);
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(eye->toolTip(), form->Texts().HideKey);
    eye->trigger();
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(eye->toolTip(), form->Texts().ShowKey);
    // Closing and opening the key band keeps the choice; only a new session starts shown again.
    Control<QCheckBox>(*form, "cbxKey")->setChecked(false);
    Control<QCheckBox>(*form, "cbxKey")->setChecked(true);
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    eye->trigger();
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
}

TEST_F(MainFilesTest, RowsKeepOneHeightWhenTheirStatesAppear) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString b = MakeFile("b.mp4", 600'000);
    AddFiles({a, b});
    form->show();
    auto* list = Control<TFileListView>(*form, "lvFiles");
    const auto rowHeight = [&](int row) {
        return list->visualRect(form->FileList()->index(row, 1)).height();
    };
    const int plain = rowHeight(0);
    ASSERT_GT(plain, 0);
    Encrypt(b);
    QFile::remove(a);
    Control<TOruButton>(*form, "btnRefresh")->click();
    ASSERT_EQ(Images(), (std::vector<int>{kImageUnreadable, kImageEncrypted}));
    EXPECT_EQ(rowHeight(0), plain);
    EXPECT_EQ(rowHeight(1), plain);
}

TEST_F(MainFilesTest, RefreshShowsWhatTheFilesAreNow) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString b = MakeFile("b.mp4", 600'000);
    AddFiles({a, b});
    Encrypt(b);
    QFile::remove(a);
    ListTakenByARun();
    Control<TOruButton>(*form, "btnRefresh")->click();
    EXPECT_EQ(Images(), (std::vector<int>{kImageUnreadable, kImageEncrypted}));
    EXPECT_FALSE(Files()->ListChanged());  // a refresh is not a change of the list

    MakeFile("a.mp4", 600'000);
    Encrypt(a);
    Control<TOruButton>(*form, "btnRefresh")->click();
    EXPECT_EQ(Images(), (std::vector<int>{kImageEncrypted, kImageEncrypted}));
    Files()->RefreshItemState(2);  // no such row
    Files()->RefreshItemState(-1);
    EXPECT_EQ(form->FileList()->Count(), 2);
}

TEST_F(MainFilesTest, TheEmptyListShowsTheGreyHintCentredFromTheMiddleDown) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QRect area = Control<TFileListView>(*form, "lvFiles")->viewport()->rect();
    const QRect hint = Control<TFileListView>(*form, "lvFiles")->HintRect(area);
    EXPECT_EQ(hint.top(), area.height() / 2);
    EXPECT_LE(std::abs(hint.left() - (area.width() - hint.width()) / 2), 1);
    EXPECT_GT(hint.width(), 100);
    EXPECT_GT(GreyPixels(hint), 50);
    EXPECT_EQ(GreyPixels(QRect(0, 0, area.width(), area.height() / 2 - 1)), 0);

    AddFiles({MakeFile("a.mp4", 100)});
    EXPECT_EQ(GreyPixels(hint), 0);
    Control<TOruButton>(*form, "btnClear")->click();
    EXPECT_GT(GreyPixels(hint), 50);
}

TEST_F(MainFilesTest, OpenAndLocateNeedAFocusedSelectedRow) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString b = MakeFile("sub/b.mp4", 600'000);
    AddFiles({a, b});
    OpenListMenu();
    EXPECT_FALSE(Control<QAction>(*form, "pmiOpen")->isEnabled());
    EXPECT_FALSE(Control<QAction>(*form, "pmiLocate")->isEnabled());
    DoubleClickList();
    EXPECT_TRUE(opened.empty());

    Control<TFileListView>(*form, "lvFiles")
        ->setCurrentIndex(form->FileList()->index(1, 1));  // focuses and selects row 1
    OpenListMenu();
    EXPECT_TRUE(Control<QAction>(*form, "pmiOpen")->isEnabled());
    EXPECT_TRUE(Control<QAction>(*form, "pmiLocate")->isEnabled());
    DoubleClickList();
    Control<QAction>(*form, "pmiLocate")->trigger();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(b));
    EXPECT_EQ(opened[1], QUrl::fromLocalFile(QFileInfo(b).absolutePath()));

    // Focused but no longer selected: greyed out, and the double click does nothing.
    lvFilesSelection()->select(form->FileList()->index(1, 0),
                               QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    OpenListMenu();
    EXPECT_FALSE(Control<QAction>(*form, "pmiOpen")->isEnabled());
    EXPECT_FALSE(Control<QAction>(*form, "pmiLocate")->isEnabled());
    DoubleClickList();
    EXPECT_EQ(opened.size(), 2u);
    // The menu commands themselves only ask for a focused row (the selection may change while the
    // menu is open).
    Control<QAction>(*form, "pmiOpen")->setEnabled(true);
    Control<QAction>(*form, "pmiOpen")->trigger();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[2], QUrl::fromLocalFile(b));
}

TEST_F(MainFilesTest, DirectoryRowsBrowseLocateAndShareTheirHistory) {
    Control<TOruButton>(*form, "btnDirectory")->click();
    EXPECT_FALSE(form->FilesMode());
    EXPECT_FALSE(Control<QWidget>(*form, "pnlDirectory")->isHidden());
    EXPECT_TRUE(Control<QWidget>(*form, "pnlFiles")->isHidden());
    EXPECT_EQ(Control<TOruButton>(*form, "btnDirectory")->CaptionColor(), QColor(Qt::white));
    EXPECT_EQ(Control<TOruButton>(*form, "btnFiles")->CaptionColor(), QColor(62, 85, 119));

    Control<QComboBox>(*form, "cbPath2")->setEditText(QStringLiteral(" \t/videos/old \n"));
    folderAnswers.push_back(QStringLiteral("/videos/new"));
    Control<TOruButton>(*form, "btnPath2")->click();
    ASSERT_EQ(selectStarts.size(), 1u);
    EXPECT_EQ(selectStarts[0], QStringLiteral("/videos/old"));
    EXPECT_EQ(selectPrompts[0], QStringLiteral("Select a directory"));
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath2")->currentText(), QStringLiteral("/videos/new"));
    Control<TOruButton>(*form, "btnPath2")->click();  // cancelled
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath2")->currentText(), QStringLiteral("/videos/new"));

    Control<QComboBox>(*form, "cbPath3")->setEditText(QStringLiteral("  "));
    Control<TOruButton>(*form, "btnLocate3")->click();
    EXPECT_TRUE(opened.empty());
    Control<QComboBox>(*form, "cbPath")->setEditText(QStringLiteral("/videos/here "));
    Control<TOruButton>(*form, "btnLocate")->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toLocalFile(), QStringLiteral("/videos/here"));

    // The history fills all three lists alike; what is typed stays.
    settings::Settings->AddHistoryPath(QStringLiteral("/h/older"));
    settings::Settings->AddHistoryPath(QStringLiteral("/h/newer"));
    Control<TDirectoryPanel>(*form, "pnlDirectory")->LoadHistoryPaths();
    for (QComboBox* box : {Control<QComboBox>(*form, "cbPath"), Control<QComboBox>(*form, "cbPath2"),
                           Control<QComboBox>(*form, "cbPath3")}) {
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->itemText(0), QStringLiteral("/h/newer"));
        EXPECT_EQ(box->itemText(1), QStringLiteral("/h/older"));
    }
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath")->currentText(), QStringLiteral("/videos/here "));
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath2")->currentText(), QStringLiteral("/videos/new"));

    // Switching back keeps both the rows and the list.
    Control<TOruButton>(*form, "btnFiles")->click();
    EXPECT_TRUE(form->FilesMode());
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath2")->currentText(), QStringLiteral("/videos/new"));
}

TEST_F(MainFilesTest, ANewWindowShowsTheSavedHistoryInEveryRow) {
    form.reset();
    settings::Settings->AddHistoryPath(QStringLiteral("/h/one"));
    settings::Settings->AddHistoryPath(QStringLiteral("/h/two"));
    form = CreateForm<TMainForm>();
    for (QComboBox* box : {Control<QComboBox>(*form, "cbPath"), Control<QComboBox>(*form, "cbPath2"),
                           Control<QComboBox>(*form, "cbPath3")}) {
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->itemText(0), QStringLiteral("/h/two"));
        EXPECT_TRUE(box->currentText().isEmpty());
    }
}

TEST_F(MainFilesTest, TheHelpMenuOpensPagesTheDataFolderAndTheOptions) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Control<TOruButton>(*form, "btnHelp")->click();
    ASSERT_TRUE(WaitFor([&] { return Control<QMenu>(*form, "pmHelp")->isVisible(); }));
    EXPECT_EQ(Control<QMenu>(*form, "pmHelp")->pos(),
              Control<TOruButton>(*form, "btnHelp")
                      ->mapToGlobal(QPoint(0, Control<TOruButton>(*form, "btnHelp")->height())) +
                  QPoint(1, -2));
    Control<QMenu>(*form, "pmHelp")->hide();

    Control<QAction>(*form, "pmiHome")->trigger();
    Control<QAction>(*form, "pmiHelp")->trigger();
    Control<QAction>(*form, "pmiLog")->trigger();
    emit Control<TLinkLabel>(*form, "lblSIBP")->clicked();
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0].toString(), settings::HomePage());
    EXPECT_EQ(opened[1].toString(), settings::ProductPage());
    EXPECT_EQ(opened[2], QUrl::fromLocalFile(settings::AppDataFolder()));
    EXPECT_TRUE(opened[3].toString().startsWith(settings::HomePage()));

    // The title link follows the setting after the options dialog was confirmed, not when cancelled.
    settings::Settings->SetShowSIBP(false);
    Control<QAction>(*form, "pmiOption")->trigger();
    EXPECT_EQ(optionDialogs, 1);
    EXPECT_TRUE(Control<TLinkLabel>(*form, "lblSIBP")->isVisible());
    optionsAnswer = true;
    Control<QAction>(*form, "pmiOption")->trigger();
    EXPECT_FALSE(Control<TLinkLabel>(*form, "lblSIBP")->isVisible());
}

TEST_F(MainFilesTest, TheOptionsItemOpensTheRealOptionsDialog) {
    const TShellCallsScope real(DefaultShellCalls());
    bool shown = false;
    std::function<void()> cancel = [&] {
        auto* dialog = qobject_cast<TOptionForm*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTimer::singleShot(0, cancel);
            return;
        }
        shown = true;
        dialog->btnCancelMe->click();
    };
    QTimer::singleShot(0, cancel);
    Control<QAction>(*form, "pmiOption")->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(MainFilesTest, TheKeyBandOpensBelowTheCheckBoxWithoutShrinkingTheFileArea) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QRect files = Control<QWidget>(*form, "pnlFiles")->geometry();
    const QRect run = Control<QWidget>(*form, "pnlEncrypt")->geometry();
    const QRect button = Control<TOruButton>(*form, "btnEncrypt")->geometry();
    QTest::mouseClick(Control<QCheckBox>(*form, "cbxKey"), Qt::LeftButton, {},
                      QPoint(6, Control<QCheckBox>(*form, "cbxKey")->height() / 2));
    ASSERT_TRUE(Control<QCheckBox>(*form, "cbxKey")->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>(*form, "edtKey"));  // ready for the key
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("k3y"));
    EXPECT_EQ(Control<QLineEdit>(*form, "edtKey")->text(), QStringLiteral("k3y"));
    EXPECT_EQ(form->height(), 507 + kKeyBandHeight);
    EXPECT_EQ(Control<QWidget>(*form, "pnlFiles")->geometry(), files);
    EXPECT_EQ(Control<QWidget>(*form, "pnlEncrypt")->geometry(), run.adjusted(0, 0, 0, kKeyBandHeight));
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->geometry(),
              button.translated(0, kKeyBandHeight));  // under the band
    EXPECT_TRUE(Control<QLineEdit>(*form, "edtKey")->isVisible());
    EXPECT_TRUE(Control<QLabel>(*form, "lblKey")->isVisible());
    EXPECT_LT(Control<QLabel>(*form, "lblKey")->geometry().bottom(),
              Control<QComboBox>(*form, "cbFileType")->y());

    Control<QCheckBox>(*form, "cbxKey")->click();
    EXPECT_EQ(form->height(), 507);
    EXPECT_EQ(Control<QWidget>(*form, "pnlFiles")->geometry(), files);
    EXPECT_EQ(Control<QWidget>(*form, "pnlEncrypt")->geometry(), run);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->geometry(), button);
    EXPECT_FALSE(Control<QLineEdit>(*form, "edtKey")->isVisible());

    // At the smallest height the band still fits: the directory rows never slide under the lower panel.
    form->resize(680, 500);
    ASSERT_TRUE(WaitFor([&] { return form->height() == 500; }));
    Control<QCheckBox>(*form, "cbxKey")->click();
    EXPECT_GE(Control<QWidget>(*form, "pnlEncrypt")->y(),
              Control<QWidget>(*form, "pnlDirectory")->y() +
                  Control<QCheckBox>(*form, "cbxSub3")->geometry().bottom());
    form->resize(680, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->height(), 500 + kKeyBandHeight);
}

TEST_F(MainFilesTest, ClosingWithoutAJobAsksNothing) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Control<TOruButton>(*form, "btnClose")->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
