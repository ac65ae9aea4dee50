#include "ui/Anchors.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace ui {

namespace {

// Lives as a child of the parent it lays out.
class TAnchorKeeper final : public QObject {
public:
    explicit TAnchorKeeper(QWidget* parent) : QObject(parent), parent_(parent), lastSize_(parent->size()) {
        setObjectName(QStringLiteral("velmora-anchor-keeper"));
        parent->installEventFilter(this);
    }

    void Set(QWidget* control, TAnchors anchors) {
        // A change of the parent's size not applied yet belongs to the children already anchored.
        Apply();
        for (auto& entry : entries_) {
            if (entry.control == control) {
                entry.anchors = anchors;
                return;
            }
        }
        entries_.push_back({control, anchors});
    }

    void Rebase() { lastSize_ = parent_->size(); }

    TAnchors Get(const QWidget* control) const {
        for (const auto& entry : entries_)
            if (entry.control == control) return entry.anchors;
        return kAnchorsTopLeft;
    }

    void Apply() {
        const QSize size = parent_->size();
        const int dw = size.width() - lastSize_.width();
        const int dh = size.height() - lastSize_.height();
        if (dw == 0 && dh == 0) return;
        lastSize_ = size;
        std::erase_if(entries_, [](const Entry& entry) { return entry.control.isNull(); });
        for (const auto& entry : entries_) {
            QRect r = entry.control->geometry();
            shift(r, dw, entry.anchors & TAnchor::Left, entry.anchors & TAnchor::Right, true);
            shift(r, dh, entry.anchors & TAnchor::Top, entry.anchors & TAnchor::Bottom, false);
            SetBounds(entry.control, r);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent_ && event->type() == QEvent::Resize) Apply();
        return false;
    }

private:
    struct Entry {
        QPointer<QWidget> control;
        TAnchors anchors;
    };

    // Moves or stretches one axis of `r` by the parent's change `delta`.
    static void shift(QRect& r, int delta, bool nearEdge, bool farEdge, bool horizontal) {
        if (!farEdge) return;  // anchored to the near edge only (or to none): stays
        if (nearEdge) {
            if (horizontal)
                r.setWidth(std::max(0, r.width() + delta));
            else
                r.setHeight(std::max(0, r.height() + delta));
        } else {
            r.translate(horizontal ? delta : 0, horizontal ? 0 : delta);
        }
    }

    QWidget* parent_;
    QSize lastSize_;
    std::vector<Entry> entries_;
};

TAnchorKeeper* keeperOf(const QWidget* parent) {
    return parent ? parent->findChild<TAnchorKeeper*>(QStringLiteral("velmora-anchor-keeper"),
                                                      Qt::FindDirectChildrenOnly)
                  : nullptr;
}

}  // namespace

void SetAnchors(QWidget* control, TAnchors anchors) {
    QWidget* parent = control->parentWidget();
    if (parent == nullptr) return;
    TAnchorKeeper* keeper = keeperOf(parent);
    if (keeper == nullptr) keeper = new TAnchorKeeper(parent);  // owned by the parent
    keeper->Set(control, anchors);
}

TAnchors Anchors(const QWidget* control) {
    const TAnchorKeeper* keeper = keeperOf(control->parentWidget());
    return keeper ? keeper->Get(control) : kAnchorsTopLeft;
}

void SetBounds(QWidget* control, const QRect& bounds) {
    control->setGeometry(bounds);
    ApplyAnchors(control);
}

void SetBounds(QWidget* control, int left, int top, int width, int height) {
    SetBounds(control, QRect(left, top, width, height));
}

void SetClientSize(QWidget* window, int width, int height) {
    window->resize(width, height);
    ApplyAnchors(window);
}

void ApplyAnchors(QWidget* parent) {
    if (TAnchorKeeper* keeper = keeperOf(parent)) keeper->Apply();
}

void RebaseAnchors(QWidget* root) {
    if (TAnchorKeeper* keeper = keeperOf(root)) keeper->Rebase();
    for (QWidget* child : root->findChildren<QWidget*>())
        if (TAnchorKeeper* keeper = keeperOf(child)) keeper->Rebase();
}

}  // namespace ui
