#pragma once
// A stand-in for the main window in the start-up tests: shows what the program is, and saves the
// settings when it goes, as the main window does.

#include <QLabel>

#include <memory>

namespace apptest {

class TPlaceholderWindow : public QLabel {
public:
    TPlaceholderWindow();
    ~TPlaceholderWindow() override;
};

std::unique_ptr<QWidget> CreatePlaceholderWindow();

}  // namespace apptest
