#include "ui/DirectoryPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

#include "platform/Utility.h"
#include "settings/KZVConfig.h"
#include "ui/GuiUtility.h"
#include "ui/MainLook.h"
#include "ui/MainTexts.h"
#include "ui/OruButton.h"

namespace ui {

TDirectoryPanel::TDirectoryPanel(const TMainTexts& texts, QWidget* parent) : QWidget(parent), texts_(texts) {
    constexpr int kFirstRowTop = 24;
    constexpr int kRowStep = 62;
    Place(this, "pnlDirectory", {8, 84, 672, 205}, kLeftTopRight);
    hide();
    const std::array<QLabel**, 3> labels{&Label2, &Label4, &Label6};
    const std::array<QComboBox**, 3> paths{&cbPath, &cbPath2, &cbPath3};
    const std::array<TOruButton**, 3> browse{&btnPath, &btnPath2, &btnPath3};
    const std::array<TOruButton**, 3> locate{&btnLocate, &btnLocate2, &btnLocate3};
    const std::array<QCheckBox**, 3> subs{&cbxSub, &cbxSub2, &cbxSub3};
    const std::array<const char*, 3> labelNames{"Label2", "Label4", "Label6"};
    const std::array<const char*, 3> pathNames{"cbPath", "cbPath2", "cbPath3"};
    const std::array<const char*, 3> browseNames{"btnPath", "btnPath2", "btnPath3"};
    const std::array<const char*, 3> locateNames{"btnLocate", "btnLocate2", "btnLocate3"};
    const std::array<const char*, 3> subNames{"cbxSub", "cbxSub2", "cbxSub3"};
    for (std::size_t row = 0; row < 3; ++row) {
        const int top = kFirstRowTop + kRowStep * static_cast<int>(row);
        *labels[row] = Place(new QLabel(this), labelNames[row], {16, top + 4, 64, 16}, kLeftTop);
        QComboBox* box = *paths[row] =
            Place(new QComboBox(this), pathNames[row], {84, top, 503, 24}, kLeftTopRight);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMaxVisibleItems(settings::kMaxHistoryPaths);
        (*labels[row])->setBuddy(box);  // what a screen reader names the field by
        *browse[row] =
            ImageButton(this, browseNames[row], QStringLiteral("path_browse"), {589, top, 24, 24}, kTopRight);
        *locate[row] =
            ImageButton(this, locateNames[row], QStringLiteral("path_locate"), {613, top, 24, 24}, kTopRight);
        // Placed under the drop-down's right end once its text is known.
        *subs[row] = Place(new QCheckBox(this), subNames[row], {84, top + 27, 160, 20}, kTopRight);

        const int index = static_cast<int>(row);
        connect(*browse[row], &TOruButton::clicked, this, [this, index] { btnPathClick(index); });
        connect(*locate[row], &TOruButton::clicked, this, [this, index] { btnLocateClick(index); });
    }
}

std::vector<std::pair<QLabel*, bool>> TDirectoryPanel::LabelColumn() const {
    // Rows 2 and 3 read like row 1 ("Directory 2", "Directory 3"): only row 1's label is measured.
    return {{Label2, true}, {Label4, false}, {Label6, false}};
}

std::vector<QWidget*> TDirectoryPanel::FieldColumn() const {
    return {cbPath, cbPath2, cbPath3};
}

void TDirectoryPanel::PlaceSubBoxesByHint() {
    for (QCheckBox* sub : SubBoxes()) {
        sub->adjustSize();
        sub->setGeometry(cbPath->x() + cbPath->width() + 4 - sub->width(), sub->y(), sub->width(), 20);
    }
}

void TDirectoryPanel::PlaceSubBoxes(int scaledGap, int scaledBoxRoom) {
    const int subWidth =
        std::max(scaledBoxRoom + fontMetrics().horizontalAdvance(cbxSub->text()), cbxSub->sizeHint().width());
    const int subLeft = cbPath->x() + cbPath->width() + scaledGap - subWidth;
    for (QCheckBox* sub : SubBoxes()) sub->setGeometry(subLeft, sub->y(), subWidth, sub->height());
}

void TDirectoryPanel::NameFields() {
    const std::array<QLabel*, 3> labels{Label2, Label4, Label6};
    const auto boxes = PathBoxes();
    for (std::size_t row = 0; row < boxes.size(); ++row) {
        boxes[row]->setAccessibleName(labels[row]->text());
        boxes[row]->lineEdit()->setAccessibleName(labels[row]->text());  // where the folder is typed
    }
}

void TDirectoryPanel::btnPathClick(int row) {
    QComboBox* box = PathBoxes().at(static_cast<std::size_t>(row));
    const QString chosen = SelectPath(texts_.SelectDir, QString(), TrimControls(box->currentText()));
    if (!chosen.isEmpty()) box->setEditText(chosen);
}

void TDirectoryPanel::btnLocateClick(int row) {
    const QString folder = TrimControls(PathBoxes().at(static_cast<std::size_t>(row))->currentText());
    if (!folder.isEmpty()) OpenDir(folder, false);
}

void TDirectoryPanel::LoadHistoryPaths() {
    const settings::TStringsObj* history = settings::Settings->HistoryPaths();
    QStringList entries;
    for (int i = 0; i < history->Count(); ++i) entries << history->Strings(i);
    for (QComboBox* box : PathBoxes()) {
        const QString typed = box->currentText();
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(entries);
        box->setCurrentIndex(-1);
        box->setEditText(typed);
    }
}

void TDirectoryPanel::TrimTexts() {
    for (QComboBox* box : PathBoxes()) box->setEditText(TrimControls(box->currentText()));
}

bool TDirectoryPanel::AllEmpty() const {
    const auto paths = PathBoxes();
    return std::all_of(paths.begin(), paths.end(),
                       [](QComboBox* box) { return box->currentText().isEmpty(); });
}

std::vector<engine::TSearchFolder> TDirectoryPanel::Folders() const {
    std::vector<engine::TSearchFolder> folders;
    const auto paths = PathBoxes();
    const auto subs = SubBoxes();
    for (std::size_t row = 0; row < paths.size(); ++row)
        if (const QString folder = paths[row]->currentText(); !folder.isEmpty())
            folders.push_back({platform::ToLocal8Bit(folder), subs[row]->isChecked()});
    return folders;
}

void TDirectoryPanel::AddToHistory() {
    const auto paths = PathBoxes();
    // A mistyped folder would otherwise be offered again at every start; the run says it is missing.
    for (auto row = paths.rbegin(); row != paths.rend(); ++row)
        if (const QString folder = (*row)->currentText(); QFileInfo(folder).isDir())
            settings::Settings->AddHistoryPath(folder);
    LoadHistoryPaths();
}

}  // namespace ui
