#include "ui/WindowTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QWidget>

#include <array>

#include "ui/FileListView.h"
#include "ui/MainTexts.h"

namespace ui {

namespace {

void setText(QObject* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(text);
    }
}

void applyTo(QObject* control, const TTextRow& row, const QString& text) {
    switch (row.Target) {
        case TTextTarget::None:
            break;
        case TTextTarget::Text:
            setText(control, text);
            break;
        case TTextTarget::FittedText:
            setText(control, text);
            if (auto* widget = qobject_cast<QWidget*>(control)) widget->adjustSize();
            break;
        case TTextTarget::Lines: {
            QString lines = text;
            lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            setText(control, lines);
            break;
        }
        case TTextTarget::ToolTip:
            if (auto* widget = qobject_cast<QWidget*>(control)) widget->setToolTip(text);
            break;
        case TTextTarget::Item:
            if (auto* box = qobject_cast<QComboBox*>(control); box && row.Item < box->count()) {
                // A new item text only: the choice stays, and no change handler runs.
                const QSignalBlocker quiet(box);
                const int chosen = box->currentIndex();
                box->setItemText(row.Item, text);
                box->setCurrentIndex(chosen);
            }
            break;
        case TTextTarget::Name:
            if (auto* widget = qobject_cast<QWidget*>(control)) widget->setAccessibleName(text);
            break;
        case TTextTarget::Column:
            if (auto* view = qobject_cast<TFileListView*>(control))
                if (auto* model = qobject_cast<TFileListModel*>(view->model())) model->SetColumnCaption(text);
            break;
    }
}

}  // namespace

void ApplyTextRows(QWidget& window, std::span<const TTextRow> rows,
                   const std::function<QString(const TTextRow&)>& textOf, TMainTexts* runTime) {
    for (const TTextRow& row : rows) {
        const QString text = textOf(row);
        for (const QString& name :
             QString::fromLatin1(row.Controls).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            // Menu items are actions, found like the widgets.
            for (QObject* control : window.findChildren<QObject*>(name)) applyTo(control, row, text);
        }
        if (runTime != nullptr && row.RunTime != nullptr) runTime->*row.RunTime = text;
    }
}

QString EnglishText(const TTextRow& row) {
    return QString::fromUtf8(row.English);
}

std::span<const TTextRow> FrameTexts() {
    static const std::array rows{
        TTextRow{"CUI_Frame_btnMin", "Minimise", TTextTarget::Name, "btnMin"},
        TTextRow{"CUI_Frame_btnMax", "Maximise", TTextTarget::Name, "btnMax"},
        TTextRow{"CUI_Frame_btnClose", "Close", TTextTarget::Name, "btnClose btnCloseMe"},
    };
    return rows;
}

}  // namespace ui
