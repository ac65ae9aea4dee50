#pragma once
// A label that acts as a link: underlined, a hand cursor, a click signal. Reached with Tab and followed
// with Return or Space, like a link in a browser.

#include <QLabel>

namespace ui {

class TLinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

    // Follows the link, as a click does (a screen reader's press action).
    void Activate() { emit clicked(); }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
