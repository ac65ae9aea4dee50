// Program entry: the Qt application object first (the program folder and the screen come from it),
// then the program's own start-up and shut-down.
#include <QApplication>

#include "app/PlaceholderWindow.h"
#include "app/Program.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return app::RunProgram(app::CreatePlaceholderWindow);
}
