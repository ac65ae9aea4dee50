#pragma once
// Shared by the window tests: each test gets its own data folder, the application and settings
// objects, and answerers in place of every modal and outward call, which record what they were asked.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Controls.h"
#include "app/AppTestUtil.h"
#include "engine/FileTransform.h"
#include "lang/Language.h"
#include "platform/Messages.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"
#include "support/TempDir.h"
#include "ui/FileListView.h"
#include "ui/FilesPanel.h"
#include "ui/GuiUtility.h"
#include "ui/MainForm.h"
#include "ui/OruButton.h"

namespace uitest {

using apptest::ScopedEnv;

struct ShownBox {
    QString text;
    int buttons;
    int icon;
};

class UiTest : public ::testing::Test {
protected:
    testsupport::TempDir home;
    ScopedEnv dataHome{"XDG_DATA_HOME", QByteArray::fromStdString(home.file("data"))};
    ScopedEnv cacheHome{"XDG_CACHE_HOME", QByteArray::fromStdString(home.file("cache"))};

    // What the windows asked for.
    std::vector<ShownBox> boxes;
    std::vector<QUrl> opened;
    std::vector<QString> selectPrompts;
    std::vector<QString> selectStarts;
    std::vector<QString> fileFilters;
    int riskWarnings = 0;
    int optionDialogs = 0;

    // How the answerers answer: queued answers first, then the defaults.
    std::deque<int> boxAnswers;                          // MsgBox; default OK, or No for a question
    std::deque<std::optional<QStringList>> fileAnswers;  // open-file dialog; default cancelled
    std::deque<QString> folderAnswers;                   // folder dialog; default cancelled
    bool riskAnswer = true;
    bool optionsAnswer = false;
    std::function<void()> duringRiskWarning;
    std::function<void()> duringBox;  // runs while a box is open, before it is answered
    int dismissedBoxes = 0;

    void SetUp() override {
        QDir().mkpath(settings::AppDataFolder());  // made by the log at a real start
        lang::Language = std::make_unique<lang::TLanguage>(Path("Languages") + QStringLiteral("/"));
        settings::Settings = settings::TProjObj::Create<settings::TKZVConfig>();
        ui::TShellCalls calls;
        calls.MsgBox = [this](const QString& text, int buttons, int icon) {
            boxes.push_back({text, buttons, icon});
            if (duringBox) std::exchange(duringBox, {})();
            if (!boxAnswers.empty()) {
                const int answer = boxAnswers.front();
                boxAnswers.pop_front();
                return answer;
            }
            return buttons == ui::kMbYesNo ? ui::kIdNo : ui::kIdOk;
        };
        calls.SelectPath = [this](const QString& prompt, const QString& start) {
            selectPrompts.push_back(prompt);
            selectStarts.push_back(start);
            if (folderAnswers.empty()) return QString();
            QString answer = folderAnswers.front();
            folderAnswers.pop_front();
            return answer;
        };
        calls.OpenFiles = [this](QWidget*, const QString& filter) -> std::optional<QStringList> {
            fileFilters.push_back(filter);
            if (fileAnswers.empty()) return std::nullopt;
            auto answer = fileAnswers.front();
            fileAnswers.pop_front();
            return answer;
        };
        calls.OpenUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        calls.ShowRiskWarning = [this] {
            ++riskWarnings;
            if (duringRiskWarning) duringRiskWarning();
            return riskAnswer;
        };
        calls.DismissMsgBox = [this] { ++dismissedBoxes; };
        calls.ShowOptionsDialog = [this] {
            ++optionDialogs;
            return optionsAnswer;
        };
        shell_.emplace(std::move(calls));
    }

    void TearDown() override {
        shell_.reset();
        lang::Language.reset();
        settings::Settings.reset();
    }

    QString Path(const std::string& name) const { return QString::fromStdString(home.file(name)); }

    // Writes a German language file holding `elements` into the test's Languages folder and loads it.
    void LoadGermanLanguage(const QByteArray& elements) const {
        const QString folder = Path("Languages") + QStringLiteral("/");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("German.xml"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang Id=\"German\" Name=\"Deutsch\">\n" +
                   elements + "</Lang>\n");
        file.close();
        lang::Language = std::make_unique<lang::TLanguage>(folder);
        ASSERT_TRUE(lang::Language->LoadLanguageFile("German"));
    }

    // A file of `size` bytes of varying content.
    QString MakeFile(const std::string& name, std::size_t size) const {
        const std::string path = home.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        testsupport::writeFile(path, testsupport::patternBytes(size, static_cast<std::uint32_t>(size)));
        return QString::fromStdString(path);
    }

    // Encrypts the file in place, as a job would.
    static void Encrypt(const QString& path, const std::string& key = {}) {
        engine::TKZVFlag flag;
        flag.Key = key;
        flag.Version = "1.0.0";
        engine::TFileTransform transform(flag, false);
        const auto result = transform.ProcessFile(platform::ToLocal8Bit(path), key);
        ASSERT_EQ(result.Outcome, engine::TProcessOutcome::Encrypted);
    }

    static bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
        return QTest::qWaitFor(condition, ms);
    }

private:
    std::optional<ui::TShellCallsScope> shell_;
};

// A main window for each test, and what the tests ask of it.
class MainFormTest : public UiTest {
protected:
    std::unique_ptr<ui::TMainForm> form;

    void SetUp() override {
        UiTest::SetUp();
        form = ui::CreateForm<ui::TMainForm>();
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }

    ui::TFilesPanel* Files() const { return Control<ui::TFilesPanel>(*form, "pnlFiles"); }
    // The list as a run that has ended took it: unchanged since.
    void ListTakenByARun() const {
        Files()->BeginRun();
        Files()->RunEnded({});
    }
    // What the job's messages reach.
    QObject* JobController() const { return Control<QObject>(*form, "jobController"); }

    // Adds the files through the open dialog.
    void AddFiles(const QStringList& files) {
        fileAnswers.push_back(files);
        Control<ui::TOruButton>(*form, "btnAdd")->click();
    }
    // The file list's context menu, opened over the list and closed again.
    void OpenListMenu() {
        emit Control<ui::TFileListView>(*form, "lvFiles")->customContextMenuRequested(QPoint(2, 2));
        Control<QMenu>(*form, "pmListview")->hide();
    }
    void DoubleClickList() {
        auto* list = Control<ui::TFileListView>(*form, "lvFiles");
        emit list->doubleClicked(list->currentIndex());
    }
    QStringList Paths() const {
        QStringList paths;
        for (int row = 0; row < form->FileList()->Count(); ++row) paths << form->FileList()->Path(row);
        return paths;
    }
    std::vector<int> Images() const {
        std::vector<int> images;
        for (int row = 0; row < form->FileList()->Count(); ++row)
            images.push_back(form->FileList()->Image(row));
        return images;
    }
};

// What the language menu announces to every window after a pick.
inline void SendLanguageChanged(QWidget& window) {
    platform::TMessageEvent message(ui::WM_LANGCHANGED, 0, 0);
    QCoreApplication::sendEvent(&window, &message);
}

// Shows a real modal dialog with `show` and, once a dialog of type Form is up, lets `act` work on it
// like a user. Returns what `show` returned; fails the test when the dialog never came up.
template <typename Form, typename Show>
auto ShowModalAndDo(Show show, const std::function<void(Form&)>& act) {
    const ui::TShellCallsScope real(ui::DefaultShellCalls());
    bool acted = false;
    std::function<void()> when;
    when = [&] {
        auto* form = qobject_cast<Form*>(QApplication::activeModalWidget());
        if (form == nullptr) {
            QTimer::singleShot(0, when);
            return;
        }
        acted = true;
        act(*form);
    };
    QTimer::singleShot(0, when);
    const auto result = show();
    EXPECT_TRUE(acted);
    return result;
}

}  // namespace uitest
