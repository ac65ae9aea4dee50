// Program entry, and the one place that knows every layer: the Qt application object first (the
// program folder and the screen come from it), then the program's own start-up and shut-down around the
// main window, which is told what start-up recovery did.
#include <QApplication>

#include "app/Program.h"
#include "ui/MainForm.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return app::RunProgram([](const app::TStartup& startup) {
        return ui::CreateMainForm(startup.Recovered, startup.NotRecovered);
    });
}
