#pragma once
// The main window until the real one exists: shows what the program is, and saves the settings when it
// goes, as the main window will.

#include <QLabel>

#include <memory>

namespace app {

class TPlaceholderWindow : public QLabel {
    Q_OBJECT

public:
    TPlaceholderWindow();
    ~TPlaceholderWindow() override;
};

std::unique_ptr<QWidget> CreatePlaceholderWindow();

}  // namespace app
