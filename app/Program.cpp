#include "app/Program.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

#include "app/KZVApp.h"
#include "engine/Recovery.h"
#include "lang/Language.h"
#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"
#include "settings/KZVConfig.h"

namespace app {

void ShowErrorBox(const QString& text, const QString& title) {
    QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
}

int RunProgram(const TMainWindowFactory& createMainWindow) {
    App = std::make_unique<TApp>();
    App->StartLog();
    lang::Language->OnLoadError = [](const QString& text, const QString& title) {
        ShowErrorBox(text, title);
    };
    settings::Settings = settings::TProjObj::Create<settings::TKZVConfig>();

    int exitCode = 0;
    const bool first = App->IsFirstInstance();
    if (!App->RuntimeProblem().isEmpty()) {
        const QString text =
            App->RuntimeProblem() +
            QStringLiteral(" Running without the single-instance check; remove that folder to mend it.");
        platform::MsgOut(text);
        std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
    }
    if (!first) {
        if (!App->NotifyRunningInstance())
            platform::MsgOut(QStringLiteral("The running instance did not take the hand-over"));
    } else {
        // Before anything else touches a file: undo what an interrupted run left half-done.
        App->RecoveredFiles =
            engine::RecoverInterruptedToggles(platform::ToLocal8Bit(settings::JournalFolder()));
        settings::Settings->Load();
        settings::Settings->LoadLanguage();
        QCoreApplication::setApplicationName(App->GetAppTitle());
        QCoreApplication::setOrganizationName(App->GetCompanyName());
        App->ListenForInstances();

        std::unique_ptr<QWidget> mainWindow = createMainWindow();
        mainWindow->show();
        exitCode = QApplication::exec();
        mainWindow.reset();
    }

    settings::Settings.reset();
    App.reset();
    return exitCode;
}

}  // namespace app
