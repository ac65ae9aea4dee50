// Program entry. Until the main window is built, the program shows what it is and its version.
#include <QApplication>
#include <QLabel>

#include "Version.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmora");
    QApplication::setOrganizationName("Brindlework");
    QLabel label(QStringLiteral("Brindlework Velmora %1").arg(QString::fromLatin1(velmora::kVersionText)));
    label.setWindowTitle(QStringLiteral("Brindlework Velmora"));
    label.setMargin(24);
    label.show();
    return QApplication::exec();
}
