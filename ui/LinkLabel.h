#pragma once
// A label that acts as a link: underlined, a hand cursor, a click signal.

#include <QLabel>

namespace ui {

class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace ui
