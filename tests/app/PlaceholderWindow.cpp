#include "app/PlaceholderWindow.h"

#include <exception>

#include "app/KZVApp.h"
#include "app/Program.h"
#include "platform/Log.h"
#include "platform/Utility.h"
#include "settings/KZVConfig.h"

namespace apptest {

TPlaceholderWindow::TPlaceholderWindow() {
    setWindowTitle(app::App->GetDisplayName());
    setText(app::App->GetDisplayName() + QLatin1Char(' ') +
            QString::fromStdString(platform::GetProVersion(true)));
    setMargin(24);
}

TPlaceholderWindow::~TPlaceholderWindow() {
    try {
        settings::Settings->Save(true);
    } catch (const std::exception& e) {
        // The settings could not be written: say so rather than lose them silently.
        platform::MsgOut(QStringLiteral("Saving the settings failed: ") + QString::fromLocal8Bit(e.what()));
        app::ShowErrorBox(QString::fromLocal8Bit(e.what()));
    }
}

std::unique_ptr<QWidget> CreatePlaceholderWindow() {
    return std::make_unique<TPlaceholderWindow>();
}

}  // namespace apptest
