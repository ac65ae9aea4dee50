#pragma once
// Each window keeps one table of its texts: the language key, the built-in English text and the
// controls that show it. The window puts the English column in place when it is built and the loaded
// language's texts whenever a language is applied; the tests check the shipped language files against
// the same tables. Adding a control's text is one row here plus one element per language file.

#include <QString>

#include <functional>
#include <span>

class QWidget;

namespace ui {

struct TMainTexts;

// How a text is put on its controls.
enum class TTextTarget {
    None,        // a run-time text only, read when it is needed
    Text,        // the control's text (label, check box, button caption, menu item)
    FittedText,  // the text, and the control's size fitted to it
    Lines,       // a label of several lines: the language files break lines with carriage returns
    ToolTip,
    Item,    // one item of a drop-down list, by `Item`
    Column,  // the caption of a list's file column
    Name,    // what a screen reader calls a control that shows no text of its own
};

struct TTextRow {
    const char* Key;
    const char* English;
    TTextTarget Target = TTextTarget::None;
    // The object names of the controls that show the text, separated by blanks.
    const char* Controls = "";
    int Item = 0;
    // Where the main window keeps the text for later use, when it does.
    QString TMainTexts::*RunTime = nullptr;
};

// Gives the row's text to each of its controls under `window` and, with `runTime`, to the run-time
// texts. `textOf` says which text a row gets (its English text, or the loaded language's).
void ApplyTextRows(QWidget& window, std::span<const TTextRow> rows,
                   const std::function<QString(const TTextRow&)>& textOf, TMainTexts* runTime = nullptr);

// The row's English text, as the window shows it before any language is applied.
QString EnglishText(const TTextRow& row);

// The names of the window buttons every window may have (minimise, maximise, close), for screen readers
// and tool tips.
std::span<const TTextRow> FrameTexts();

}  // namespace ui
