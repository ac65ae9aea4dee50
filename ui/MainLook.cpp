#include "ui/MainLook.h"

#include <QLabel>
#include <QMenu>

#include "ui/OruButton.h"

namespace ui {

QFont Arial(int pixelSize, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void SetTextColor(QWidget* control, const QColor& color) {
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    control->setPalette(p);
}

void SetLabel(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

TOruButton* ImageButton(QWidget* parent, const char* name, const QString& skin, const QRect& bounds,
                        TAnchors anchors) {
    auto* button = Place(new TOruButton(parent), name, bounds, anchors);
    button->SetSkin(skin);
    return button;
}

QMenu* MakeMenu(const char* name, QWidget* parent) {
    auto* made = new QMenu(parent);
    made->setObjectName(QLatin1String(name));
    made->setStyleSheet(
        QStringLiteral("QMenu { background: rgb(249, 248, 247); border: 1px solid #8A98A8; padding: 3px 0; }"
                       "QMenu::item { padding: 5px 28px 5px 22px; color: rgb(40, 40, 40); }"
                       "QMenu::item:selected { background: #DCE7F5; }"
                       "QMenu::item:disabled { color: rgb(160, 160, 160); }"
                       "QMenu::separator { height: 1px; background: #D0D6DC; margin: 4px 8px; }"));
    // Menus are windows of their own: they take the window's font only when given it.
    made->setFont(parent->window()->font());
    return made;
}

QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) ++begin;
    while (end > begin && text[end - 1].unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}

}  // namespace ui
