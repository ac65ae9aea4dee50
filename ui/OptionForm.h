#pragma once
// The options dialog: which file extensions count as video files (check boxes in groups by kind, and
// under "Other Formats" the stored extensions that no group knows), how many leading blocks of a file a
// job transforms, and whether the title bar shows the sibling product's link. It reads the settings
// when it opens and writes them only on OK.

#include <QSpinBox>

#include <span>
#include <vector>

#include "ui/BaseUIForm.h"
#include "ui/WindowTexts.h"

class QCheckBox;
class QLabel;
class QScrollArea;

namespace ui {

// An integer field with up and down arrows. While typing it takes digits, signs and the decimal
// separator only; a text that is no integer counts as the minimum; the value is brought into range
// whenever it is set and when the field is left.
class TSpinEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
};

class TOptionForm : public TBaseUIForm {
    Q_OBJECT

public:
    // One check box of the extension panel and its group (1 to 11). The first box of a group is the
    // group's box; the others carry an extension, with its leading dot, as their caption. (Which box is
    // which is kept here rather than read from the caption, which a language file may give any text.)
    struct TExtBox {
        QCheckBox* Box;
        int Group;
        bool Extension;
    };

    explicit TOptionForm(QWidget* parent = nullptr);

    void FormCreate() override;
    void ApplyLanguage() override;

    // Fills the controls from the settings: the extensions, the block count, the title-bar link.
    void LoadOptions();
    // Writes the controls back to the settings.
    void SaveOptions();

    // Every check box of the panel, in panel order.
    const std::vector<TExtBox>& ExtBoxes() const noexcept { return extBoxes_; }
    // The group box of `group` (1 to 11).
    QCheckBox* GroupBox(int group) const;
    // The extension boxes of `group`, in panel order.
    std::vector<QCheckBox*> MemberBoxes(int group) const;

private:
    void cbxWinClick(QCheckBox* sender);
    void cbxSelectAllClick();
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    void btnOkMeClick();
    void WheelOverDialog(int angleDelta);

    QLabel* Label1 = nullptr;
    QCheckBox* cbxSelectAll = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* pnlExts = nullptr;
    QCheckBox* cbxWin = nullptr;    // group 1
    QCheckBox* cbxOther = nullptr;  // group 11: the stored extensions no other group carries
    QLabel* Label2 = nullptr;
    TSpinEdit* edtBlock = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* cbxThumbnails = nullptr;
    QCheckBox* cbxWholeStreams = nullptr;
    QCheckBox* cbxSIBP = nullptr;

    std::vector<TExtBox> extBoxes_;
    int extraBoxes_ = 0;
    int wheelDelta_ = 0;
};

// Every text of the options dialog.
std::span<const TTextRow> OptionFormTexts();

// Shows the options dialog (through the replaceable call); true when it was closed with OK.
bool ShowOptionsDialog();
// The real dialog behind it: created for this showing, filled from the settings, shown modally,
// destroyed.
bool ExecOptionsDialog();

}  // namespace ui
