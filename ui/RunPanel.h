#pragma once
// The main window's run panel: the key band, the target, the run button, the progress bar, and the
// summary of the last job with its "(details)" links. It shows what the job controller says; the
// window decides what a run works on.

#include <QWidget>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace jobs {
class TJobController;
enum class TDetailList;
}  // namespace jobs

namespace ui {

class TLinkLabel;
class TOruButton;
struct TMainTexts;

class TRunPanel : public QWidget {
    Q_OBJECT

public:
    TRunPanel(const TMainTexts& texts, jobs::TJobController& controller, QWidget* parent);

    // The key to use, in the local 8-bit encoding; empty while the key box is not ticked.
    std::string Key() const;
    // The target drop-down's choice (engine::TFileType).
    std::uint8_t Target() const;
    bool KeyChosen() const;
    // Shows or hides the key field and its note.
    void ShowKeyBand(bool open);

    // A job starts: the summary empties and the button offers to stop; `searching`: the job first
    // searches folders, which the summary's first line tells.
    void JobStarted(bool searching);
    // A stop was asked: until the job has ended, the button shows that a further press does nothing.
    void JobStopping();
    // The job ended: its summary, the links to its lists, the button ready for the next run.
    void JobEnded();
    // The texts made here from the language's: the eye's tool tip.
    void ApplyTexts();
    // Another language was picked: the run button's caption follows, the links of the last summary go.
    void LanguageChanged();

    // The labels of the window's label column (and whether each is measured) and the fields of its
    // field column that this panel holds, and where that column's fields begin.
    std::vector<std::pair<QLabel*, bool>> LabelColumn() const;
    std::vector<QWidget*> FieldColumn() const;
    int FieldLeft() const;
    // Puts each "(details)" link after its summary line.
    void PlaceLinks();
    // The run button grows to the left when one of its captions would not fit.
    void FitRunButton(int padding);

signals:
    // The run button was pressed while no job runs.
    void RunClicked();
    // The key box was ticked or unticked.
    void KeyBandToggled(bool open);

private:
    void btnEncryptClick();
    void cbxKeyClick();
    // The key field shows the key or hides it, as its eye says.
    void ShowKeyAsChosen();
    // The run button's caption when no job runs, by the target choice.
    QString RunCaption() const;
    void PaintProgress();
    void OpenDetailFile(jobs::TDetailList which) const;
    // The summary's first line while the job searches its folders.
    QString SearchingText(std::size_t found) const;

    QCheckBox* cbxKey = nullptr;
    QLineEdit* edtKey = nullptr;
    QAction* actShowKey = nullptr;
    QLabel* lblKey = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cbFileType = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblEncrypted = nullptr;
    QLabel* lblDecrypted = nullptr;
    QLabel* lblFailed = nullptr;
    QLabel* lblSize = nullptr;
    QLabel* lblTime = nullptr;
    TLinkLabel* lblDetail1 = nullptr;
    TLinkLabel* lblDetail2 = nullptr;
    TLinkLabel* lblDetail3 = nullptr;
    TOruButton* btnEncrypt = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    const TMainTexts& texts_;
    jobs::TJobController& controller_;
    int runButtonWidth_ = 0;  // the run button's width as designed (0: not taken yet)
};

}  // namespace ui
