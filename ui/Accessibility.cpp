#include "ui/Accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>

#include "ui/LinkLabel.h"
#include "ui/OruButton.h"

namespace ui {

namespace {

// The name a control is read by: the one given, else its text, else its tool tip (the tool buttons
// show only a picture).
QString nameOf(const QWidget* widget, const QString& text) {
    if (!widget->accessibleName().isEmpty()) return widget->accessibleName();
    return text.isEmpty() ? widget->toolTip() : text;
}

// An image button: a push button, or a page tab when it is one of an exclusive group (the modes).
class TAccessibleImageButton final : public QAccessibleWidget {
public:
    explicit TAccessibleImageButton(TOruButton* button) : QAccessibleWidget(button, roleOf(*button)) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return nameOf(widget(), button()->text());
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (button()->isCheckable()) {
            state.checkable = true;
            state.checked = button()->isChecked();
            state.selectable = true;
            state.selected = button()->isChecked();
        }
        return state;
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& action) override {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    static QAccessible::Role roleOf(const TOruButton& button) {
        const QButtonGroup* group = button.group();
        return group != nullptr && group->exclusive() ? QAccessible::PageTab : QAccessible::Button;
    }
    TOruButton* button() const { return static_cast<TOruButton*>(widget()); }
};

class TAccessibleLink final : public QAccessibleWidget {
public:
    explicit TAccessibleLink(TLinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return nameOf(widget(), static_cast<const TLinkLabel*>(widget())->text());
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<TLinkLabel*>(widget())->Activate();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* skinnedControl(const QString& /*className*/, QObject* object) {
    if (auto* button = qobject_cast<TOruButton*>(object)) return new TAccessibleImageButton(button);
    if (auto* link = qobject_cast<TLinkLabel*>(object)) return new TAccessibleLink(link);
    // The main window is a frame, not the dialog its base class is.
    if (object->inherits("ui::TMainForm"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

}  // namespace

void InstallAccessibility() {
    QAccessible::installFactory(skinnedControl);
}

}  // namespace ui
