// The main window's run control: the refusals and the backup warning, whole jobs in both modes with
// their summary, end box and detail files, the target choice and the key, cancel, closing during a
// job, live progress, job errors, and the note about files restored at start-up.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>

#include <algorithm>
#include <cstring>

#include "UiTestUtil.h"
#include "engine/JobFormat.h"
#include "engine/KZVThread.h"
#include "engine/Trailer.h"
#include "platform/FileIo.h"
#include "platform/Messages.h"
#include "settings/AppFolders.h"
#include "support/DeepFolder.h"
#include "support/ThumbnailCache.h"
#include "ui/FileListView.h"
#include "ui/LinkLabel.h"
#include "ui/MainForm.h"
#include "ui/OruButton.h"

using namespace ui;
using uitest::Control;

namespace {

class MainRunTest : public uitest::MainFormTest {
protected:
    // Presses the run button and waits for the end box; returns its text.
    QString RunToEnd() {
        const std::size_t before = boxes.size();
        Control<TOruButton>(*form, "btnEncrypt")->click();
        EXPECT_TRUE(WaitFor([&] { return EndBox(before) != nullptr; }, 30000));
        const uitest::ShownBox* end = EndBox(before);
        return end ? end->text : QString();
    }
    // The end box is the one whose second line tells the time the job took.
    const uitest::ShownBox* EndBox(std::size_t from) const {
        for (std::size_t i = from; i < boxes.size(); ++i)
            if (boxes[i].text.section(QLatin1Char('\n'), 1, 1).startsWith(QStringLiteral("Time escaped: ")))
                return &boxes[i];
        return nullptr;
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static std::string TrailerKey(const QString& path) {
        auto file = platform::localFileSystem().open(platform::ToLocal8Bit(path), platform::FileAccess::Read);
        engine::TKZVTrailer trailer{};
        engine::ReadTrailer(*file, trailer);
        return std::string(engine::FieldText(trailer.Key, engine::kKeyFieldSize));
    }
    QStringList ManyFiles(int count, std::size_t size = 600'000) const {
        QStringList files;
        for (int i = 0; i < count; ++i) files << MakeFile("many/" + std::to_string(i) + ".mp4", size);
        return files;
    }
};

TEST_F(MainRunTest, NothingToDoIsRefusedBeforeAnyWarning) {
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Add your video files first."));
    EXPECT_EQ(boxes[0].icon, kIconInfo);

    Control<TOruButton>(*form, "btnDirectory")->click();
    Control<QComboBox>(*form, "cbPath")->setEditText(QStringLiteral("  \t"));
    Control<QComboBox>(*form, "cbPath3")->setEditText(QStringLiteral("\n"));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, QStringLiteral("Enter a directory first."));
    EXPECT_TRUE(
        Control<QComboBox>(*form, "cbPath")->currentText().isEmpty());  // the trimmed texts are written back
    EXPECT_TRUE(Control<QComboBox>(*form, "cbPath3")->currentText().isEmpty());
    EXPECT_EQ(riskWarnings, 0);
    EXPECT_EQ(form->Job(), nullptr);
}

TEST_F(MainRunTest, ADeclinedWarningStartsNothingAndKeepsTheLastResults) {
    const QString a = MakeFile("a.mp4", 600'000);
    AddFiles({a});
    riskAnswer = false;
    Control<TOruButton>(*form, "btnEncrypt")->click();
    EXPECT_EQ(riskWarnings, 1);
    EXPECT_EQ(form->Job(), nullptr);
    EXPECT_TRUE(boxes.empty());

    riskAnswer = true;
    RunToEnd();
    const engine::TKZVThread* last = form->Job();
    ASSERT_NE(last, nullptr);
    riskAnswer = false;
    Control<TOruButton>(*form, "btnEncrypt")->click();
    EXPECT_EQ(form->Job(), last);
    EXPECT_FALSE(Control<TLinkLabel>(*form, "lblDetail1")->isHidden());
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt / Decrypt"));

    // Switched off, the warning is not shown.
    settings::Settings->SetShowRiskWarn(false);
    RunToEnd();
    EXPECT_EQ(riskWarnings, 3);
}

TEST_F(MainRunTest, AWholeJobFillsTheSummaryTheIconsAndTheDetailFiles) {
    const QString plain = MakeFile("plain.mp4", 600'000);
    const QString encrypted = MakeFile("encrypted.mp4", 600'000);
    Encrypt(encrypted);
    const QString small = MakeFile("small.mp4", 1000);
    const QString keyed = MakeFile("keyed.mp4", 600'000);
    Encrypt(keyed, "other key");
    const QString gone = MakeFile("gone.mp4", 600'000);
    AddFiles({plain, encrypted, small, keyed, gone});
    QFile::remove(gone);

    const QString end = RunToEnd();
    // Three files failed: the box says so, under a warning sign, rather than a plain "Finished!".
    EXPECT_TRUE(end.startsWith(QStringLiteral("Finished, but 3 of the files failed.\nTime escaped: ")))
        << end.toStdString();
    EXPECT_TRUE(end.endsWith(QStringLiteral("s")));
    EXPECT_EQ(boxes.back().icon, kIconFailure);
    EXPECT_FALSE(form->IsJobRunning());
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 1 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblDecrypted")->text(), QStringLiteral("Decrypted: 1 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 3 "));
    // The exact total at the end: 600,096 + 600,000 bytes.
    EXPECT_EQ(
        Control<QLabel>(*form, "lblSize")->text(),
        QStringLiteral("Processed file size: ") + engine::FormatByteSize(1'200'096, engine::TJobTexts()));
    EXPECT_TRUE(Control<QLabel>(*form, "lblTime")->text().startsWith(QStringLiteral("Time escaped: ")));
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt / Decrypt"));
    EXPECT_TRUE(Control<QProgressBar>(*form, "ProgressBar1")->isHidden());
    for (auto [link, label] :
         {std::pair{Control<TLinkLabel>(*form, "lblDetail1"), Control<QLabel>(*form, "lblEncrypted")},
          std::pair{Control<TLinkLabel>(*form, "lblDetail2"), Control<QLabel>(*form, "lblDecrypted")},
          std::pair{Control<TLinkLabel>(*form, "lblDetail3"), Control<QLabel>(*form, "lblFailed")}}) {
        EXPECT_FALSE(link->isHidden());
        EXPECT_EQ(link->pos(), QPoint(label->x() + label->width() + 2, label->y()));
    }
    EXPECT_EQ(form->Job()->Params.JournalFolder, platform::ToLocal8Bit(settings::JournalFolder()));
    EXPECT_EQ(form->Job()->Params.Blocks, settings::Settings->Blocks());
    EXPECT_EQ(form->Job()->Params.Version, platform::GetProVersion(true).substr(0, 13));
    // The icons show what each file is now, and each failed row the failure mark with why.
    EXPECT_EQ(Images(), (std::vector<int>{kImageEncrypted, kImageNone, kImageUnreadable, kImageUnreadable,
                                          kImageUnreadable}));
    const auto tip = [this](int row) {
        return form->FileList()->data(form->FileList()->index(row, 1), Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(tip(0), plain);
    EXPECT_EQ(tip(2), small + QStringLiteral("\nToo small to scramble (under 512 KiB)"));
    EXPECT_EQ(tip(3), keyed + QStringLiteral("\nScrambled with another key"));
    EXPECT_EQ(tip(4), gone + QStringLiteral("\nNo such file or directory"));

    const QString folder = settings::AppDataFolder();
    Control<TLinkLabel>(*form, "lblDetail3")->clicked();
    EXPECT_EQ(Read(folder + QStringLiteral("Failed.txt")),
              "\"" + small.toUtf8() + "\" ErrCode: 3; file too small\r\n" + "\"" + keyed.toUtf8() +
                  "\" ErrCode: 2; encryption key incorrect\r\n" + "\"" + gone.toUtf8() +
                  "\" ErrCode: 1; failed to read or write (No such file or directory)\r\n");
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back(), QUrl::fromLocalFile(folder + QStringLiteral("Failed.txt")));
    Control<TLinkLabel>(*form, "lblDetail1")->clicked();
    EXPECT_EQ(Read(folder + QStringLiteral("Encrypted.txt")), plain.toUtf8() + "\r\n");
    Control<TLinkLabel>(*form, "lblDetail2")->clicked();
    EXPECT_EQ(Read(folder + QStringLiteral("Decrypted.txt")), encrypted.toUtf8() + "\r\n");
    // An existing file is replaced, not appended to.
    Control<TLinkLabel>(*form, "lblDetail1")->clicked();
    EXPECT_EQ(Read(folder + QStringLiteral("Encrypted.txt")), plain.toUtf8() + "\r\n");
    EXPECT_EQ(opened.size(), 4u);
}

TEST_F(MainRunTest, ADetailFileThatCannotBeWrittenIsReportedAndNotOpened) {
    const QString a = MakeFile("a.mp4", 600'000);
    AddFiles({a});
    RunToEnd();
    const QString folder = settings::AppDataFolder();
    QDir().mkpath(folder + QStringLiteral("Encrypted.txt"));  // a folder in the file's place
    const std::size_t before = boxes.size();
    Control<TLinkLabel>(*form, "lblDetail1")->clicked();
    ASSERT_EQ(boxes.size(), before + 1);
    EXPECT_EQ(boxes.back().icon, kIconFailure);
    EXPECT_TRUE(boxes.back().text.contains(QStringLiteral("Encrypted.txt")));
    EXPECT_TRUE(opened.empty());
}

TEST_F(MainRunTest, AFileListedTwiceIsToggledTwiceWithoutAFailure) {
    const QString a = MakeFile("twice.mp4", 600'000);
    const QByteArray original = Read(a);
    AddFiles({a, a});
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 1 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblDecrypted")->text(), QStringLiteral("Decrypted: 1 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 0 "));
    EXPECT_TRUE(Control<TLinkLabel>(*form, "lblDetail3")->isHidden());
    EXPECT_EQ(Read(a), original);
    EXPECT_EQ(Images(), (std::vector<int>{kImageNone, kImageNone}));

    // With a target filter the second occurrence is skipped.
    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(2);  // only unencrypted files
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 1 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblDecrypted")->text(), QStringLiteral("Decrypted: 0 "));
    EXPECT_EQ(Images(), (std::vector<int>{kImageEncrypted, kImageEncrypted}));
}

TEST_F(MainRunTest, RowsOfOneFileNeverMakeTheJobFailIt) {
    // The window re-tests rows while the job runs; it must not hold a file the job has still to open.
    const QString a = MakeFile("often.mp4", 600'000);
    const QString b = MakeFile("between.mp4", 600'000);
    QStringList rows;
    for (int i = 0; i < 100; ++i) rows << a << a << b;
    AddFiles(rows);
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 0 "));
    EXPECT_EQ(form->Job()->EncryptedList.size() + form->Job()->DecryptedList.size(), 300u);
    // Every row shows the state its file ended in: a toggled 200 times is plain, b 100 times too.
    EXPECT_EQ(Images(), std::vector<int>(300, kImageNone));
}

TEST_F(MainRunTest, TheRunButtonNamesTheTargetAndReadsCancelWhileAJobRuns) {
    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(1);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Decrypt"));
    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(2);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt"));
    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(0);
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt / Decrypt"));

    AddFiles(ManyFiles(20));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    EXPECT_TRUE(form->IsJobRunning());
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Cancel"));
    Control<QComboBox>(*form, "cbFileType")->setCurrentIndex(1);  // while running: the caption stays
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Cancel"));
    ASSERT_TRUE(WaitFor([&] { return EndBox(0) != nullptr; }, 30000));
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Decrypt"));
    EXPECT_EQ(form->Job()->Params.FileType, 0);  // the new choice applies to the next job
}

TEST_F(MainRunTest, TheKeyIsUsedWhenTickedAndHoldsAt64Bytes) {
    const QString a = MakeFile("a.mp4", 600'000);
    const QString b = MakeFile("b.mp4", 600'000);
    AddFiles({a});
    Control<QCheckBox>(*form, "cbxKey")->setChecked(true);
    Control<QLineEdit>(*form, "edtKey")->setText(QStringLiteral("Secret"));
    RunToEnd();
    EXPECT_EQ(TrailerKey(a), "Secret");

    // Unticked, the typed key is not used: the file cannot be decrypted, and the end box says why.
    Control<QCheckBox>(*form, "cbxKey")->setChecked(false);
    EXPECT_EQ(RunToEnd().section(QLatin1Char('\n'), 0, 0),
              QStringLiteral(
                  "Finished, but 1 of the files failed. Every one of them was scrambled with another key."));
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 1 "));
    EXPECT_EQ(form->Job()->FailedList.front().Code, engine::kErrorWrongKey);

    // Ticked with an empty edit: no key at all.
    Control<TOruButton>(*form, "btnClear")->click();
    AddFiles({b});
    Control<QCheckBox>(*form, "cbxKey")->setChecked(true);
    Control<QLineEdit>(*form, "edtKey")->clear();
    RunToEnd();
    EXPECT_EQ(TrailerKey(b), "");

    // The field takes what the trailer keeps, counted in stored bytes: 32 two-byte letters of 40 typed.
    Control<TOruButton>(*form, "btnClear")->click();
    const QString c = MakeFile("c.mp4", 600'000);
    AddFiles({c});
    for (int typed = 0; typed < 40; ++typed) {
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x0436)));
        QApplication::sendEvent(Control<QLineEdit>(*form, "edtKey"), &letter);
    }
    EXPECT_EQ(Control<QLineEdit>(*form, "edtKey")->text(), QString(32, QChar(0x0436)));
    RunToEnd();
    EXPECT_EQ(TrailerKey(c), platform::ToLocal8Bit(QString(32, QChar(0x0436))));
}

TEST_F(MainRunTest, DirectoriesAreSearchedInRowOrderAndRecordedInTheHistory) {
    const QString dir = Path("clips");
    const QString top = MakeFile("clips/a.mp4", 600'000);
    const QString nested = MakeFile("clips/sub/b.mkv", 600'000);
    MakeFile("clips/notes.txt", 600'000);
    const QString other = Path("other");
    MakeFile("other/c.avi", 600'000);
    Control<TOruButton>(*form, "btnDirectory")->click();
    Control<QComboBox>(*form, "cbPath")->setEditText(dir + QStringLiteral("  "));
    Control<QCheckBox>(*form, "cbxSub")->setChecked(true);
    Control<QComboBox>(*form, "cbPath2")->setEditText(dir);  // again, without subdirectories
    Control<QComboBox>(*form, "cbPath3")->setEditText(other);
    RunToEnd();
    const engine::TKZVThread* job = form->Job();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->FileList,
              (std::vector<std::string>{platform::ToLocal8Bit(top), platform::ToLocal8Bit(nested),
                                        platform::ToLocal8Bit(top),
                                        platform::ToLocal8Bit(other + QStringLiteral("/c.avi"))}));
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 3 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblDecrypted")->text(), QStringLiteral("Decrypted: 1 "));
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath")->currentText(), dir);
    // Recorded as row 3, row 2, row 1: row 1 ends on top, and the same folder only once.
    const settings::TStringsObj* history = settings::Settings->HistoryPaths();
    ASSERT_EQ(history->Count(), 2);
    EXPECT_EQ(history->Strings(0), dir);
    EXPECT_EQ(history->Strings(1), other);
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath2")->count(), 2);
    EXPECT_EQ(Control<QComboBox>(*form, "cbPath2")->itemText(0), dir);

    // A folder that cannot be read (deeper than the system's path limit) counts as failed, with its
    // reason in the failed list.
    const testsupport::DeepFolder deep(platform::ToLocal8Bit(Path("clips/deep")));
    Control<QComboBox>(*form, "cbPath2")->clearEditText();
    Control<QComboBox>(*form, "cbPath3")->clearEditText();
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 1 "));
    ASSERT_EQ(form->Job()->FailedList.size(), 1u);
    EXPECT_EQ(form->Job()->FailedList[0].Path.rfind(platform::ToLocal8Bit(Path("clips/deep")), 0), 0u);
    EXPECT_EQ(form->Job()->FailedList[0].Reason, std::strerror(ENAMETOOLONG));

    // A folder without videos: a job that ends at once with nothing done.
    Control<QComboBox>(*form, "cbPath")->setEditText(Path("empty"));
    QDir().mkpath(Path("empty"));
    Control<QComboBox>(*form, "cbPath2")->clearEditText();
    Control<QComboBox>(*form, "cbPath3")->clearEditText();
    const QString end = RunToEnd();
    EXPECT_TRUE(end.startsWith(QStringLiteral("Finished!\nTime escaped: "))) << end.toStdString();
    EXPECT_EQ(boxes.back().icon, kIconInfo);  // nothing failed: a plain notice
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 0 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 0 "));
    EXPECT_TRUE(Control<TLinkLabel>(*form, "lblDetail1")->isHidden());
}

// Directories mode: the job searches the folders on its own thread, so a large tree no longer holds up
// the window. It says at once that it searches, and the run button stops the search as it stops a job,
// with no video touched; a run to the end toggles every video found.
TEST_F(MainRunTest, TheSearchOfDirectoriesRunsInTheJobAndTheRunButtonStopsIt) {
    QStringList videos;
    for (int folder = 0; folder < 20; ++folder)
        for (int i = 0; i < 2; ++i)
            videos << MakeFile("tree/" + std::to_string(folder) + "/" + std::to_string(i) + ".mp4", 600'000);
    Control<TOruButton>(*form, "btnDirectory")->click();
    Control<QComboBox>(*form, "cbPath")->setEditText(Path("tree"));
    Control<QCheckBox>(*form, "cbxSub")->setChecked(true);
    const auto encrypted = [&] {
        return std::count_if(videos.begin(), videos.end(), [](const QString& path) {
            return engine::IsEncryptedFile(platform::ToLocal8Bit(path));
        });
    };

    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_TRUE(form->IsJobRunning());
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(),
              QStringLiteral("Searching… %1 videos found").arg(QLocale().toString(0)));
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Cancel"));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_TRUE(WaitFor([&] { return EndBox(0) != nullptr; }, 30000));
    EXPECT_TRUE(EndBox(0)->text.startsWith(QStringLiteral("Canceled!")));
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 0 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 0 "));
    EXPECT_EQ(encrypted(), 0);
    EXPECT_EQ(settings::Settings->HistoryPaths()->Strings(0), Path("tree")) << "recorded as the job started";

    EXPECT_TRUE(RunToEnd().startsWith(QStringLiteral("Finished!")));
    EXPECT_EQ(encrypted(), videos.size());
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 40 "));
}

TEST_F(MainRunTest, PressingTheButtonDuringAJobCancelsAfterTheFileInHand) {
    AddFiles(ManyFiles(60));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_TRUE(form->IsJobRunning());
    Control<TOruButton>(*form, "btnEncrypt")->click();
    EXPECT_FALSE(Control<TOruButton>(*form, "btnEncrypt")->isEnabled()) << "the press is taken";
    ASSERT_TRUE(WaitFor([&] { return EndBox(0) != nullptr; }, 30000));
    EXPECT_TRUE(Control<TOruButton>(*form, "btnEncrypt")->isEnabled());
    EXPECT_TRUE(EndBox(0)->text.startsWith(QStringLiteral("Canceled!\nTime escaped: ")));
    const engine::TKZVThread* job = form->Job();
    EXPECT_LT(job->EncryptedList.size(), 60u);
    EXPECT_TRUE(job->FailedList.empty());
    EXPECT_EQ(Control<TOruButton>(*form, "btnEncrypt")->Caption(), QStringLiteral("Encrypt / Decrypt"));
    EXPECT_EQ(riskWarnings, 1);  // cancelling asks nothing
}

TEST_F(MainRunTest, ClosingDuringAJobAsksAndNoKeepsItGoing) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    AddFiles(ManyFiles(40));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_TRUE(form->IsJobRunning());
    boxAnswers.push_back(kIdNo);
    form->close();
    ASSERT_GE(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Stop encryption/decryption now?"));
    EXPECT_EQ(boxes[0].buttons, kMbYesNo);
    EXPECT_EQ(boxes[0].icon, kIconQuestion);
    EXPECT_TRUE(form->isVisible());
    ASSERT_TRUE(WaitFor([&] { return EndBox(0) != nullptr; }, 30000));
    EXPECT_TRUE(EndBox(0)->text.startsWith(QStringLiteral("Finished!")));
    EXPECT_EQ(form->Job()->EncryptedList.size(), 40u);
}

// Rows added while a run goes are not the run's: once it has ended, every row still shows what its file
// is, those the run changed and those added alike.
TEST_F(MainRunTest, RowsAddedDuringARunLeaveEveryIconTrueOnceItEnds) {
    const QStringList many = ManyFiles(30);
    AddFiles(many);
    const QString late = MakeFile("late.mp4", 600'000);
    Encrypt(late);
    Control<TOruButton>(*form, "btnEncrypt")->click();
    AddFiles({late, many[0]});  // before the job's first message can be heard
    ASSERT_TRUE(WaitFor([&] { return !form->IsJobRunning() && EndBox(0) != nullptr; }, 30000));
    ASSERT_EQ(form->FileList()->Count(), 32);
    for (int row = 0; row < form->FileList()->Count(); ++row) {
        const bool encrypted = engine::IsEncryptedFile(platform::ToLocal8Bit(form->FileList()->Path(row)));
        EXPECT_EQ(form->FileList()->Image(row), encrypted ? kImageEncrypted : kImageNone) << row;
    }
}

TEST_F(MainRunTest, ClosingDuringAJobAndAnsweringYesStopsItQuietly) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    AddFiles(ManyFiles(40));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    boxAnswers.push_back(kIdYes);
    form->close();
    EXPECT_FALSE(form->isVisible());
    const engine::TKZVThread* job = form->Job();
    EXPECT_TRUE(job->Quiet);
    EXPECT_TRUE(job->Terminated());
    EXPECT_FALSE(form->IsJobRunning()) << "the file in hand was done before the window went";
    // No end box; the notice before the window goes tells what the run did and where the file in hand
    // stands.
    ASSERT_EQ(boxes.size(), 2u);
    const QStringList notice = boxes[1].text.split(QLatin1Char('\n'));
    ASSERT_GE(notice.size(), 5);
    EXPECT_EQ(notice[0], QStringLiteral("The run was stopped before the window closed."));
    EXPECT_EQ(notice[2], QStringLiteral("Encrypted: %1").arg(job->EncryptedList.size()));
    if (!job->StoppedAt.empty()) {
        EXPECT_TRUE(notice[5].endsWith(QString::fromStdString(job->StoppedAt))) << notice[5].toStdString();
    }
    const std::size_t told = job->EncryptedList.size();
    form.reset();
    // Every file is whole: either untouched or completely encrypted.
    int encrypted = 0;
    for (int i = 0; i < 40; ++i) {
        const QString path = Path("many/" + std::to_string(i) + ".mp4");
        encrypted += engine::IsEncryptedFile(platform::ToLocal8Bit(path)) ? 1 : 0;
    }
    EXPECT_LT(encrypted, 40);
    EXPECT_EQ(static_cast<std::size_t>(encrypted), told) << "the notice counted true";
}

// The user closes the window during a job and leaves the question open until the job has ended: the
// question no longer applies, so it goes, and the window closes as asked, telling what the run did.
TEST_F(MainRunTest, AJobEndingWhileTheCloseQuestionIsOpenClosesTheQuestionAndTheWindow) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    AddFiles(ManyFiles(20));
    Control<TOruButton>(*form, "btnEncrypt")->click();
    ASSERT_TRUE(form->IsJobRunning());
    duringBox = [&] { EXPECT_TRUE(WaitFor([&] { return dismissedBoxes > 0; }, 30000)); };
    form->close();  // the answerer then says No, as a dismissed question does
    EXPECT_EQ(dismissedBoxes, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->IsJobRunning());
    ASSERT_EQ(boxes.size(), 2u) << "no end box after the question, only the notice";
    EXPECT_EQ(boxes[0].text, QStringLiteral("Stop encryption/decryption now?"));
    EXPECT_TRUE(boxes[1].text.startsWith(
        QStringLiteral("The run ended while the window was closing.\n\nEncrypted: 20\n")))
        << boxes[1].text.toStdString();
    EXPECT_EQ(form->Job()->EncryptedList.size(), 20u);
}

TEST_F(MainRunTest, LiveProgressShowsCountsWholeMegabytesAndTheBar) {
    const auto post = [this](engine::TJobMessage message) {
        platform::TPayloadMessage<engine::TJobMessage> event(engine::MessageNumber(message),
                                                             std::move(message));
        QApplication::sendEvent(JobController(), &event);
    };
    // How far along the bar is, in files.
    const auto barFiles = [this] {
        const auto* bar = Control<QProgressBar>(*form, "ProgressBar1");
        return bar->maximum() > 0 ? 10.0 * bar->value() / bar->maximum() : -1.0;
    };
    // While the job searches its folders, the summary's first line counts the videos found so far.
    post(engine::TJobSearching{12345});
    ASSERT_TRUE(WaitFor([&] {
        return Control<QLabel>(*form, "lblEncrypted")->text() ==
               QStringLiteral("Searching… %1 videos found").arg(QLocale().toString(12345));
    }));
    EXPECT_TRUE(Control<QProgressBar>(*form, "ProgressBar1")->isHidden());

    post(engine::TJobProgress{4, 10});
    post(engine::TJobCounts{3, 1});
    post(engine::TJobFailedSize{2, 4});
    ASSERT_TRUE(WaitFor([&] {
        return Control<QLabel>(*form, "lblSize")->text() == QStringLiteral("Processed file size: 4 MB");
    }));
    EXPECT_FALSE(Control<QProgressBar>(*form, "ProgressBar1")->isHidden());
    EXPECT_DOUBLE_EQ(barFiles(), 5.0);
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 3 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblDecrypted")->text(), QStringLiteral("Decrypted: 1 "));
    EXPECT_EQ(Control<QLabel>(*form, "lblFailed")->text(), QStringLiteral("Failed: 2 "));
    EXPECT_TRUE(Control<QLabel>(*form, "lblTime")->text().startsWith(QStringLiteral("Time escaped: ")));

    // A burst: the display settles on the last values.
    for (int i = 5; i < 10; ++i) {
        post(engine::TJobProgress{static_cast<std::size_t>(i), 10});
        post(engine::TJobCounts{static_cast<std::size_t>(i), 1});
        post(engine::TJobFailedSize{2, 1536});
    }
    ASSERT_TRUE(WaitFor([&] { return barFiles() == 10.0; }));
    EXPECT_TRUE(WaitFor(
        [&] { return Control<QLabel>(*form, "lblEncrypted")->text() == QStringLiteral("Encrypted: 9 "); }));
    EXPECT_EQ(Control<QLabel>(*form, "lblSize")->text(), QStringLiteral("Processed file size: 1.50 GB"));

    // A long toggle moves the bar within its file's stretch, back down while it is undone, and the
    // file's end takes the bar to the stretch's end.
    post(engine::TJobProgress{5, 10});
    post(engine::TJobFileProgress{6, 10, 300, 400});
    ASSERT_TRUE(WaitFor([&] { return barFiles() == 6.75; })) << barFiles();
    post(engine::TJobFileProgress{6, 10, 100, 400});
    ASSERT_TRUE(WaitFor([&] { return barFiles() == 6.25; })) << barFiles();
    post(engine::TJobProgress{6, 10});
    ASSERT_TRUE(WaitFor([&] { return barFiles() == 7.0; })) << barFiles();
}

TEST_F(MainRunTest, AnErrorOfTheJobIsShownWithItsText) {
    const QString a = MakeFile("a.mp4", 600'000);
    AddFiles({a});
    RunToEnd();
    const QString text = QStringLiteral("The list could not be read");
    platform::TPayloadMessage<engine::TJobMessage> error(engine::WM_JOB_ERROR, engine::TJobError{text});
    QApplication::sendEvent(JobController(), &error);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, text);
    EXPECT_EQ(boxes.back().icon, kIconJobError);
}

TEST_F(MainRunTest, RestoredFilesAreToldOnceAfterTheWindowIsShown) {
    form->ShowRecoveredFiles({QStringLiteral("/v/a.mp4"), QStringLiteral("/v/b.mkv")});
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.empty());  // not before the window is there
    form->show();
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("/v/a.mp4\n/v/b.mkv")));
    EXPECT_EQ(boxes[0].icon, kIconInfo);
    form->hide();
    form->show();
    QTest::qWait(20);
    EXPECT_EQ(boxes.size(), 1u);

    // Shown already: at once; a long list is shortened.
    QStringList many;
    for (int i = 0; i < 25; ++i) many << QStringLiteral("/v/%1.mp4").arg(i);
    form->ShowRecoveredFiles(many);
    ASSERT_TRUE(WaitFor([&] { return boxes.size() == 2; }));
    EXPECT_TRUE(boxes[1].text.contains(QStringLiteral("/v/19.mp4\n(+5)")));
    EXPECT_FALSE(boxes[1].text.contains(QStringLiteral("/v/20.mp4")));
    form->ShowRecoveredFiles({});
    QTest::qWait(20);
    EXPECT_EQ(boxes.size(), 2u);

    // What recovery could not apply yet is told too, in the same box, as a failure.
    form->ShowRecoveredFiles({QStringLiteral("/v/c.mp4")},
                             {QStringLiteral("/v/d.mp4: held by another program")});
    ASSERT_TRUE(WaitFor([&] { return boxes.size() == 3; }));
    EXPECT_TRUE(boxes[2].text.contains(QStringLiteral("/v/c.mp4")));
    EXPECT_TRUE(boxes[2].text.contains(form->Texts().NotRecovered +
                                       QStringLiteral("\n\n/v/d.mp4: held by another program")));
    EXPECT_EQ(boxes[2].icon, kIconFailure);
}

TEST_F(MainRunTest, AnEntryRecoveryCouldNotApplyIsToldOnceTheWindowIsShownEvenWithNothingRestored) {
    form->ShowRecoveredFiles({}, {QStringLiteral("/v/d.mp4: held by another program")});
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.empty());
    form->show();
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("/v/d.mp4: held by another program")));
    EXPECT_EQ(boxes[0].icon, kIconFailure);
}

TEST_F(MainRunTest, TheProgramsWindowTellsWhatStartUpRecoveryRestored) {
    const auto window = ui::CreateMainForm({QStringLiteral("/v/restored.mp4")});
    window->show();
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("/v/restored.mp4")));
}

}  // namespace

namespace {

// The window's job keeps the desktop's thumbnail cache from showing what a scrambled video holds.
TEST_F(MainRunTest, EncryptingTakesTheVideosPicturesOutOfTheThumbnailCache) {
    const testsupport::TThumbnailCache cache(Path("cache/thumbnails"));  // the test's XDG_CACHE_HOME
    const QString video = MakeFile("Urlaub am Meer (Müller).mp4", 600'000);
    const QByteArray uri = "file://" + QFile::encodeName(QString::fromStdString(home.path().string())) +
                           "/Urlaub%20am%20Meer%20(M%C3%BCller).mp4";
    const QString other = cache.Write(QStringLiteral("normal"), "file:///elsewhere/other.mp4", 1);
    for (const char* folder : {"normal", "large", "x-large", "xx-large", "fail/gnome-thumbnail-factory"})
        cache.Write(QLatin1String(folder), uri, 1'700'000'000);
    AddFiles({video});
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 1 "));
    EXPECT_EQ(cache.Pictures(), QStringList{other});

    // Restoring leaves the pictures (there is nothing to hide any more) but not the failure notes,
    // which would keep file managers from trying again: the file has its old time again.
    const QString remade = cache.Write(QStringLiteral("large"), uri, 1'700'000'000);
    cache.Write(QStringLiteral("fail/gnome-thumbnail-factory"), uri, 1'700'000'000);
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblDecrypted")->text(), QStringLiteral("Decrypted: 1 "));
    EXPECT_EQ(cache.Pictures(), (QStringList{remade, other}));

    settings::Settings->SetRemoveThumbnails(false);
    RunToEnd();
    EXPECT_EQ(Control<QLabel>(*form, "lblEncrypted")->text(), QStringLiteral("Encrypted: 1 "));
    EXPECT_EQ(cache.Pictures(), (QStringList{remade, other}));
}

}  // namespace
