// Program entry: the Qt application object first (the program folder and the screen come from it),
// then the program's own start-up and shut-down around the main window.
#include <QApplication>

#include "app/Program.h"
#include "ui/MainForm.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return app::RunProgram(ui::CreateMainForm);
}
