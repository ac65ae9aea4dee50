#pragma once
// The main window's Directories panel: three rows of a folder drop-down with the shared history,
// browse and locate buttons, and whether subfolders count. A job searches the folders itself.

#include <QWidget>

#include <array>
#include <utility>
#include <vector>

#include "engine/KZVThread.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace ui {

class TOruButton;
struct TMainTexts;

class TDirectoryPanel : public QWidget {
    Q_OBJECT

public:
    TDirectoryPanel(const TMainTexts& texts, QWidget* parent);

    // Refills the three lists from the settings' history (the typed texts stay).
    void LoadHistoryPaths();
    // Takes blanks and control characters off the ends of each typed folder.
    void TrimTexts();
    bool AllEmpty() const;
    // The folders to search, in row order, each with whether its subfolders count.
    std::vector<engine::TSearchFolder> Folders() const;
    // The typed folders that exist join the history, row 1 newest, and the lists show it.
    void AddToHistory();

    // The labels of the window's label column (and whether each is measured) and the fields of its
    // field column that this panel holds.
    std::vector<std::pair<QLabel*, bool>> LabelColumn() const;
    std::vector<QWidget*> FieldColumn() const;
    // The subdirectory boxes, fitted to their text, right-aligned under the drop-downs' right end.
    void PlaceSubBoxes(int scaledGap, int scaledBoxRoom);
    void PlaceSubBoxesByHint();
    // Each folder field is read by its row's label ("Directory 1" ...).
    void NameFields();

private:
    void btnPathClick(int row);
    void btnLocateClick(int row);
    std::array<QComboBox*, 3> PathBoxes() const { return {cbPath, cbPath2, cbPath3}; }
    std::array<QCheckBox*, 3> SubBoxes() const { return {cbxSub, cbxSub2, cbxSub3}; }

    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cbPath = nullptr;
    QComboBox* cbPath2 = nullptr;
    QComboBox* cbPath3 = nullptr;
    TOruButton* btnPath = nullptr;
    TOruButton* btnPath2 = nullptr;
    TOruButton* btnPath3 = nullptr;
    TOruButton* btnLocate = nullptr;
    TOruButton* btnLocate2 = nullptr;
    TOruButton* btnLocate3 = nullptr;
    QCheckBox* cbxSub = nullptr;
    QCheckBox* cbxSub2 = nullptr;
    QCheckBox* cbxSub3 = nullptr;

    const TMainTexts& texts_;
};

}  // namespace ui
