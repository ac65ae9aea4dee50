#pragma once
// The options dialog: which file extensions count as video files (check boxes in groups by kind, and
// under "Other Formats" the stored extensions that no group knows), how many leading blocks of a file a
// job transforms, whether the backup warning comes up before files are changed, and whether the title
// bar shows the sibling product's link. It reads the settings when it opens and writes them only on
// OK, and only while the block count is one it can use.

#include <QPalette>
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
// separator only. A text that is no whole number within the range stays as typed, also when the field
// is left or Enter is pressed, and the value stays the last valid count confirmed: nothing typed is
// brought into range behind the user's back. The arrows take such a text to the nearest end of the
// range.
class TSpinEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    // True while the text is a whole number within the range, which value() then holds.
    bool HasValidText() const { return hasAcceptableInput(); }

signals:
    // After every change of the text, with HasValidText().
    void TextChecked(bool valid);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
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
    ~TOptionForm() override;

    void FormCreate() override;
    void ApplyLanguage() override;

    // Fills the controls from the settings: the extensions, the block count, the backup warning, the
    // title-bar link.
    void LoadOptions();
    // Writes the controls back to the settings; false, writing nothing, while the block field holds a
    // text that is no count within its range.
    bool SaveOptions();

    // Every check box of the panel, in panel order.
    const std::vector<TExtBox>& ExtBoxes() const noexcept { return extBoxes_; }
    // The group box of `group` (1 to 11).
    QCheckBox* GroupBox(int group) const;
    // The extension boxes of `group`, in panel order.
    std::vector<QCheckBox*> MemberBoxes(int group) const;

private:
    void cbxWinClick(QCheckBox* sender);
    // Shows on the group's box whether all, some or none of its extensions are ticked.
    void ShowGroupState(int group);
    void ShowAllGroupStates();
    // Marks the block field and its range note while the text is no count within the range.
    void ShowBlockCheck(bool valid);
    // The texts made from the rows rather than taken as they are: the range note from `rangePattern`,
    // and the accessible names that repeat a caption.
    void ApplyComposedTexts(const QString& rangePattern);
    // Places the rows under the extension list by their real sizes, once the texts are in place.
    void LayOutLowerRows();
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
    QLabel* lblBlockRange = nullptr;  // the allowed counts, red while the field holds another
    QLabel* Label3 = nullptr;
    QCheckBox* cbxThumbnails = nullptr;
    QCheckBox* cbxWholeStreams = nullptr;
    QCheckBox* cbxSIBP = nullptr;
    QCheckBox* cbxRiskWarn = nullptr;

    std::vector<TExtBox> extBoxes_;
    int extraBoxes_ = 0;
    int wheelDelta_ = 0;
    QPalette blockPalette_;  // the block field's and its note's look while the count is valid
    QPalette rangePalette_;
};

// Every text of the options dialog.
std::span<const TTextRow> OptionFormTexts();

// Shows the options dialog (through the replaceable call); true when it was closed with OK.
bool ShowOptionsDialog();
// The real dialog behind it: created for this showing, filled from the settings, shown modally,
// destroyed.
bool ExecOptionsDialog();

}  // namespace ui
