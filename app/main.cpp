// Program entry, and the one place that knows every layer: the Qt application object first (the
// program folder and the screen come from it), then the program's own start-up and shut-down around the
// main window, which is told what start-up recovery did and which files the command line names.
#include <QApplication>

#include "app/Program.h"
#include "ui/Accessibility.h"
#include "ui/MainForm.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::InstallAccessibility();
    return app::RunProgram([](const app::TStartup& startup) -> app::TMainWindow {
        std::unique_ptr<ui::TMainForm> window = ui::CreateMainForm(startup.Recovered, startup.NotRecovered);
        window->OpenPaths(startup.Paths, {}, startup.Unusable);
        ui::TMainForm* form = window.get();
        return {std::move(window),
                [form](const QStringList& paths, const QString& token, const QStringList& unusable) {
                    form->OpenPaths(paths, token, unusable);
                }};
    });
}
