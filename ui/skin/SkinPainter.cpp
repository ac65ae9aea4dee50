// Paints the window skin: every frame image, button face and icon of the program, at design size and
// at twice that density, into PNG files that the build compiles in as the resource ":/skin".
//
//   velmora_skin_painter <folder>      (the folder is ui/skin of the source tree)
//
// The artwork is drawn here rather than by hand so that every piece shares one palette and one set of
// shapes, and so that a change of colour is one line and a rerun.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The palette.
const QColor kTitleTop(0x31, 0x51, 0x74);
const QColor kTitleBottom(0x22, 0x3B, 0x58);
const QColor kOutline(0x1A, 0x2D, 0x44);
const QColor kContent(191, 197, 201);
const QColor kInk(0x3E, 0x55, 0x77);  // the dark blue of inactive captions and tool icons
const QColor kBlueTop(0x47, 0x8A, 0xDB);
const QColor kBlueBottom(0x2E, 0x68, 0xB6);
const QColor kBlueEdge(0x23, 0x53, 0x94);

constexpr double kCorner = 5.0;  // radius of the window's rounded corners

using Paint = std::function<void(QPainter&)>;

struct Piece {
    QString name;
    QSize size;
    Paint paint;
};

QLinearGradient vertical(double top, double bottom, const QColor& from, const QColor& to) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    return g;
}

QColor alpha(QColor c, int a) {
    c.setAlpha(a);
    return c;
}

QPen roundPen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// --- frames -------------------------------------------------------------------------------------

// A strip of the title bar, `height` high, with the window outline on top.
Paint titleStrip(int height) {
    return [height](QPainter& p) {
        p.fillRect(QRectF(0, 0, 16, height), vertical(0, height, kTitleTop, kTitleBottom));
        p.fillRect(QRectF(0, 0, 16, 1), kOutline);
    };
}

// A rounded top corner of the title bar; `left` chooses the side.
Paint titleCorner(int width, int height, bool left, const Paint& extra = {}) {
    return [=](QPainter& p) {
        QPainterPath shape;
        const double w = width;
        if (left) {
            shape.moveTo(w, 0);
            shape.lineTo(kCorner, 0);
            shape.arcTo(QRectF(0, 0, 2 * kCorner, 2 * kCorner), 90, 90);
            shape.lineTo(0, height);
            shape.lineTo(w, height);
        } else {
            shape.moveTo(0, 0);
            shape.lineTo(w - kCorner, 0);
            shape.arcTo(QRectF(w - 2 * kCorner, 0, 2 * kCorner, 2 * kCorner), 90, -90);
            shape.lineTo(w, height);
            shape.lineTo(0, height);
        }
        shape.closeSubpath();
        p.fillPath(shape, vertical(0, height, kTitleTop, kTitleBottom));
        QPainterPath edge;
        if (left) {
            edge.moveTo(0.5, height);
            edge.lineTo(0.5, kCorner);
            edge.arcTo(QRectF(0.5, 0.5, 2 * kCorner, 2 * kCorner), 180, -90);
            edge.lineTo(w, 0.5);
        } else {
            edge.moveTo(0, 0.5);
            edge.lineTo(w - kCorner - 0.5, 0.5);
            edge.arcTo(QRectF(w - 2 * kCorner - 0.5, 0.5, 2 * kCorner, 2 * kCorner), 90, -90);
            edge.lineTo(w - 0.5, height);
        }
        p.strokePath(edge, QPen(kOutline, 1));
        if (extra) extra(p);
    };
}

// A side edge below the title bar: the content colour with the window outline on the outer side.
Paint sideEdge(int width, bool left) {
    return [=](QPainter& p) {
        p.fillRect(QRectF(0, 0, width, 8), kContent);
        p.fillRect(QRectF(left ? 0 : width - 1, 0, 1, 8), kOutline);
    };
}

Paint bottomEdge(int height) {
    return [=](QPainter& p) {
        p.fillRect(QRectF(0, 0, 8, height), kContent);
        p.fillRect(QRectF(0, height - 1, 8, 1), kOutline);
    };
}

Paint bottomCorner(int size, bool left) {
    return [=](QPainter& p) {
        const double s = size;
        QPainterPath shape;
        if (left) {
            shape.moveTo(0, 0);
            shape.lineTo(s, 0);
            shape.lineTo(s, s);
            shape.lineTo(kCorner, s);
            shape.arcTo(QRectF(0, s - 2 * kCorner, 2 * kCorner, 2 * kCorner), 270, -90);
        } else {
            shape.moveTo(0, 0);
            shape.lineTo(s, 0);
            shape.lineTo(s, s - kCorner);
            shape.arcTo(QRectF(s - 2 * kCorner, s - 2 * kCorner, 2 * kCorner, 2 * kCorner), 0, -90);
            shape.lineTo(0, s);
        }
        shape.closeSubpath();
        p.fillPath(shape, kContent);
        QPainterPath edge;
        if (left) {
            edge.moveTo(0.5, 0);
            edge.lineTo(0.5, s - kCorner);
            edge.arcTo(QRectF(0.5, s - 2 * kCorner - 0.5, 2 * kCorner, 2 * kCorner), 180, 90);
            edge.lineTo(s, s - 0.5);
        } else {
            edge.moveTo(s - 0.5, 0);
            edge.lineTo(s - 0.5, s - kCorner);
            edge.arcTo(QRectF(s - 2 * kCorner - 0.5, s - 2 * kCorner - 0.5, 2 * kCorner, 2 * kCorner), 0,
                       -90);
            edge.lineTo(0, s - 0.5);
        }
        p.strokePath(edge, QPen(kOutline, 1));
    };
}

// --- the mark -----------------------------------------------------------------------------------

// The program's mark: a blue rounded tile holding a film frame with a play sign.
void drawMark(QPainter& p, const QRectF& r) {
    const double s = r.width();
    p.save();
    p.translate(r.topLeft());
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.22, s * 0.22);
    p.fillPath(tile, vertical(0, s, kBlueTop, kBlueBottom));
    p.strokePath(tile, QPen(alpha(kBlueEdge, 220), std::max(1.0, s / 40)));
    // Film frame with its perforations.
    const QRectF film(s * 0.2, s * 0.24, s * 0.6, s * 0.52);
    QPainterPath frame;
    frame.addRoundedRect(film, s * 0.05, s * 0.05);
    p.fillPath(frame, alpha(Qt::white, 235));
    const double hole = s * 0.055;
    for (int i = 0; i < 4; ++i) {
        const double x = film.left() + s * 0.07 + i * s * 0.135;
        p.fillRect(QRectF(x, film.top() + s * 0.04, hole, hole), kBlueBottom);
        p.fillRect(QRectF(x, film.bottom() - s * 0.04 - hole, hole, hole), kBlueBottom);
    }
    // A play triangle locked by a keyhole: the triangle in blue, the keyhole cut out of it.
    QPainterPath play;
    const double cx = s * 0.5;
    const double cy = s * 0.5;
    play.moveTo(cx - s * 0.09, cy - s * 0.12);
    play.lineTo(cx + s * 0.13, cy);
    play.lineTo(cx - s * 0.09, cy + s * 0.12);
    play.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(play, kBlueBottom);
    p.restore();
}

// --- buttons ------------------------------------------------------------------------------------

enum class Face { Up, Hot, Down, Disabled };
const char* const kFaceNames[] = {"up", "hot", "down", "disabled"};

// The close button of title bars: a white cross, red behind it when hot or pressed.
Paint closeFace(QSize size, Face face) {
    return [=](QPainter& p) {
        const QRectF r(0, 0, size.width(), size.height());
        if (face == Face::Hot || face == Face::Down) {
            QPainterPath back;
            back.addRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
            p.fillPath(back, face == Face::Hot ? QColor(0xE0, 0x48, 0x48) : QColor(0xB3, 0x2F, 0x2F));
        }
        const QPointF c = r.center();
        const double a = 4.0;
        p.setPen(roundPen(face == Face::Disabled ? alpha(Qt::white, 110) : QColor(Qt::white), 1.6));
        p.drawLine(c + QPointF(-a, -a), c + QPointF(a, a));
        p.drawLine(c + QPointF(-a, a), c + QPointF(a, -a));
    };
}

// Minimise and maximise buttons share the light hover of the title bar.
Paint titleGlyphFace(QSize size, Face face, bool maximise) {
    return [=](QPainter& p) {
        const QRectF r(0, 0, size.width(), size.height());
        if (face == Face::Hot || face == Face::Down) {
            QPainterPath back;
            back.addRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
            p.fillPath(back, alpha(Qt::white, face == Face::Hot ? 40 : 70));
        }
        const QPointF c = r.center();
        p.setPen(roundPen(face == Face::Disabled ? alpha(Qt::white, 110) : QColor(Qt::white), 1.6));
        if (maximise) {
            p.drawRect(QRectF(c.x() - 4, c.y() - 3.5, 8, 7));
        } else {
            p.drawLine(c + QPointF(-4, 3), c + QPointF(4, 3));
        }
    };
}

// The dialogs' push buttons: light, with a rounded border; blue border when hot.
Paint dialogButtonFace(QSize size, Face face) {
    return [=](QPainter& p) {
        const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
        QPainterPath shape;
        shape.addRoundedRect(r, 3, 3);
        QColor top(0xFB, 0xFC, 0xFD), bottom(0xE3, 0xE8, 0xEE), border(0x8A, 0x98, 0xA8);
        if (face == Face::Hot) {
            top = QColor(0xFF, 0xFF, 0xFF);
            bottom = QColor(0xEA, 0xF1, 0xFA);
            border = kBlueBottom;
        } else if (face == Face::Down) {
            top = QColor(0xD5, 0xDE, 0xE8);
            bottom = QColor(0xE6, 0xEC, 0xF2);
            border = kBlueEdge;
        } else if (face == Face::Disabled) {
            top = bottom = QColor(0xDC, 0xE0, 0xE4);
            border = QColor(0xAE, 0xB6, 0xBE);
        }
        p.fillPath(shape, vertical(0, size.height(), top, bottom));
        p.strokePath(shape, QPen(border, 1));
    };
}

// One segment of the mode switch: the chosen one blue (white caption), the other light (ink caption).
Paint tabFace(QSize size, Face face, bool leftSegment) {
    return [=](QPainter& p) {
        const double w = size.width();
        const double h = size.height();
        const double r = 5;
        QPainterPath shape;
        if (leftSegment) {
            shape.moveTo(w, 0.5);
            shape.lineTo(r + 0.5, 0.5);
            shape.arcTo(QRectF(0.5, 0.5, 2 * r, 2 * r), 90, 90);
            shape.lineTo(0.5, h - r - 0.5);
            shape.arcTo(QRectF(0.5, h - 2 * r - 0.5, 2 * r, 2 * r), 180, 90);
            shape.lineTo(w, h - 0.5);
        } else {
            shape.moveTo(0, 0.5);
            shape.lineTo(w - r - 0.5, 0.5);
            shape.arcTo(QRectF(w - 2 * r - 0.5, 0.5, 2 * r, 2 * r), 90, -90);
            shape.lineTo(w - 0.5, h - r - 0.5);
            shape.arcTo(QRectF(w - 2 * r - 0.5, h - 2 * r - 0.5, 2 * r, 2 * r), 0, -90);
            shape.lineTo(0, h - 0.5);
        }
        shape.closeSubpath();
        if (face == Face::Down) {
            p.fillPath(shape, vertical(0, h, kBlueTop, kBlueBottom));
            p.strokePath(shape, QPen(kBlueEdge, 1));
        } else {
            const QColor top = face == Face::Hot ? QColor(0xEE, 0xF2, 0xF6) : QColor(0xDD, 0xE3, 0xE9);
            const QColor bottom = face == Face::Hot ? QColor(0xD9, 0xE1, 0xE9) : QColor(0xC9, 0xD2, 0xDB);
            p.fillPath(shape, vertical(0, h, top, bottom));
            p.strokePath(shape, QPen(kOutline, 1));
        }
    };
}

// The "Help" button of the title bar: an outline that fills a little when hot.
Paint helpFace(QSize size, Face face) {
    return [=](QPainter& p) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 4, 4);
        if (face == Face::Hot) p.fillPath(shape, alpha(Qt::white, 36));
        if (face == Face::Down) p.fillPath(shape, alpha(Qt::white, 64));
        p.strokePath(shape, QPen(alpha(Qt::white, face == Face::Disabled ? 60 : 120), 1));
    };
}

// The run button: a blue pill, lighter when hot, darker when pressed, grey when disabled.
Paint runFace(QSize size, Face face) {
    return [=](QPainter& p) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 5, 5);
        QColor top = kBlueTop, bottom = kBlueBottom, edge = kBlueEdge;
        if (face == Face::Hot) {
            top = QColor(0x5A, 0x9A, 0xE6);
            bottom = QColor(0x37, 0x74, 0xC4);
        } else if (face == Face::Down) {
            top = QColor(0x2A, 0x5F, 0xA8);
            bottom = QColor(0x33, 0x6E, 0xBC);
        } else if (face == Face::Disabled) {
            top = QColor(0xA9, 0xB3, 0xBD);
            bottom = QColor(0x95, 0xA0, 0xAB);
            edge = QColor(0x84, 0x8F, 0x9A);
        }
        p.fillPath(shape, vertical(0, size.height(), top, bottom));
        p.strokePath(shape, QPen(edge, 1));
        // A soft highlight along the top edge.
        p.fillRect(QRectF(5, 1.5, size.width() - 10, 1), alpha(Qt::white, face == Face::Disabled ? 40 : 70));
    };
}

// Flat tool buttons: the icon alone, a light plate behind it when hot or pressed.
using Icon = std::function<void(QPainter&, const QRectF&, const QColor&)>;

Paint toolFace(QSize size, Face face, const Icon& icon) {
    return [=](QPainter& p) {
        const QRectF r(0, 0, size.width(), size.height());
        if (face == Face::Hot || face == Face::Down) {
            QPainterPath plate;
            plate.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
            p.fillPath(plate, face == Face::Hot ? alpha(Qt::white, 150) : QColor(0xA4, 0xB0, 0xBC));
            p.strokePath(plate, QPen(alpha(kInk, 90), 1));
        }
        const QColor ink = face == Face::Disabled ? QColor(0x8E, 0x98, 0xA2) : kInk;
        icon(p, r, ink);
    };
}

void iconPlus(QPainter& p, const QRectF& r, const QColor& ink) {
    const QPointF c = r.center();
    p.setPen(roundPen(ink, 2.2));
    p.drawLine(c + QPointF(-6, 0), c + QPointF(6, 0));
    p.drawLine(c + QPointF(0, -6), c + QPointF(0, 6));
}

void iconMinus(QPainter& p, const QRectF& r, const QColor& ink) {
    const QPointF c = r.center();
    p.setPen(roundPen(ink, 2.2));
    p.drawLine(c + QPointF(-6, 0), c + QPointF(6, 0));
}

void iconTrash(QPainter& p, const QRectF& r, const QColor& ink) {
    const QPointF c = r.center();
    p.setPen(roundPen(ink, 1.6));
    p.drawLine(c + QPointF(-6.5, -5), c + QPointF(6.5, -5));  // lid
    p.drawLine(c + QPointF(-2, -7.5), c + QPointF(2, -7.5));  // handle
    QPainterPath bin;
    bin.moveTo(c + QPointF(-5, -3));
    bin.lineTo(c + QPointF(-4, 7));
    bin.lineTo(c + QPointF(4, 7));
    bin.lineTo(c + QPointF(5, -3));
    p.drawPath(bin);
    p.drawLine(c + QPointF(-1.6, -0.5), c + QPointF(-1.4, 4.5));
    p.drawLine(c + QPointF(1.6, -0.5), c + QPointF(1.4, 4.5));
}

void iconRefresh(QPainter& p, const QRectF& r, const QColor& ink) {
    const QPointF c = r.center();
    p.setPen(roundPen(ink, 2.0));
    const QRectF circle(c.x() - 6, c.y() - 6, 12, 12);
    p.drawArc(circle, 60 * 16, 280 * 16);
    // The arrow head at the arc's open end (upper right).
    QPainterPath head;
    const QPointF tip = c + QPointF(6.8, -6.6);
    head.moveTo(tip);
    head.lineTo(tip + QPointF(-0.2, 5.2));
    head.lineTo(tip + QPointF(-5.0, 1.2));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(head);
}

void folderShape(QPainter& p, const QRectF& r, const QColor& ink) {
    const QPointF c = r.center();
    QPainterPath folder;
    folder.moveTo(c + QPointF(-8, -5));
    folder.lineTo(c + QPointF(-3, -5));
    folder.lineTo(c + QPointF(-1.5, -3));
    folder.lineTo(c + QPointF(8, -3));
    folder.lineTo(c + QPointF(8, 6));
    folder.lineTo(c + QPointF(-8, 6));
    folder.closeSubpath();
    p.setPen(roundPen(ink, 1.5));
    p.setBrush(alpha(ink, 40));
    p.drawPath(folder);
    p.setBrush(Qt::NoBrush);
}

void iconBrowse(QPainter& p, const QRectF& r, const QColor& ink) {
    folderShape(p, r, ink);
    const QPointF c = r.center();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (int i = -1; i <= 1; ++i) p.drawEllipse(c + QPointF(i * 3.5, 1.8), 1.2, 1.2);
    p.setBrush(Qt::NoBrush);
}

void iconLocate(QPainter& p, const QRectF& r, const QColor& ink) {
    folderShape(p, r, ink);
    const QPointF c = r.center();
    p.setPen(roundPen(ink, 1.6));
    p.drawLine(c + QPointF(-2.5, 4), c + QPointF(3, -1.2));
    p.drawLine(c + QPointF(3, -1.2), c + QPointF(-0.5, -1.2));
    p.drawLine(c + QPointF(3, -1.2), c + QPointF(3, 2.3));
}

// --- state icons and signs ----------------------------------------------------------------------

void drawShield(QPainter& p) {
    QPainterPath shield;
    shield.moveTo(8, 1);
    shield.cubicTo(10.5, 2.4, 12.5, 2.8, 14.2, 2.8);
    shield.cubicTo(14.2, 9.0, 12.2, 12.6, 8, 15);
    shield.cubicTo(3.8, 12.6, 1.8, 9.0, 1.8, 2.8);
    shield.cubicTo(3.5, 2.8, 5.5, 2.4, 8, 1);
    shield.closeSubpath();
    p.fillPath(shield, vertical(1, 15, QColor(0xFF, 0xD8, 0x4A), QColor(0xE8, 0xA6, 0x10)));
    p.strokePath(shield, QPen(QColor(0xA6, 0x6E, 0x00), 1));
    // A small lock in the middle.
    p.setPen(roundPen(QColor(0x8A, 0x5A, 0x00), 1.1));
    p.drawArc(QRectF(6.1, 4.6, 3.8, 4.2), 0, 180 * 16);
    p.fillRect(QRectF(5.4, 7.2, 5.2, 4.0), QColor(0x8A, 0x5A, 0x00));
}

void drawErrorDisc(QPainter& p) {
    QRadialGradient g(QPointF(6.5, 5.5), 9);
    g.setColorAt(0, QColor(0xF2, 0x5C, 0x54));
    g.setColorAt(1, QColor(0xC6, 0x28, 0x28));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x9C, 0x1C, 0x1C), 1));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(roundPen(Qt::white, 1.9));
    p.drawLine(QPointF(8, 4.6), QPointF(8, 8.8));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 11.4), 1.1, 1.1);
}

void drawInfoSign(QPainter& p) {
    QRadialGradient g(QPointF(12, 10), 20);
    g.setColorAt(0, kBlueTop.lighter(115));
    g.setColorAt(1, kBlueBottom);
    p.setBrush(g);
    p.setPen(QPen(kBlueEdge, 1));
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
    QPainterPath stem;
    stem.addRoundedRect(QRectF(14, 13.5, 4, 11), 1.2, 1.2);
    p.drawPath(stem);
    p.fillRect(QRectF(12.5, 13.5, 3, 2.2), Qt::white);
    p.fillRect(QRectF(12.5, 22.8, 7, 2.2), Qt::white);
}

// The signs of message boxes: a disc of `top`/`bottom` colours holding a white glyph.
void drawSignDisc(QPainter& p, const QColor& top, const QColor& bottom, const QColor& edge) {
    QRadialGradient g(QPointF(12, 10), 20);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(QPen(edge, 1));
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
}

void drawQuestionSign(QPainter& p) {
    drawSignDisc(p, kBlueTop.lighter(115), kBlueBottom, kBlueEdge);
    QPainterPath hook;
    hook.moveTo(11.5, 12.5);
    hook.cubicTo(11.5, 7.5, 20.5, 7.5, 20.5, 12.5);
    hook.cubicTo(20.5, 16.0, 16.0, 16.0, 16.0, 19.5);
    p.setPen(roundPen(Qt::white, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 24), 1.9, 1.9);
}

void drawErrorSign(QPainter& p) {
    drawSignDisc(p, QColor(0xF2, 0x5C, 0x54), QColor(0xC6, 0x28, 0x28), QColor(0x9C, 0x1C, 0x1C));
    p.setPen(roundPen(Qt::white, 3.2));
    p.drawLine(QPointF(11, 11), QPointF(21, 21));
    p.drawLine(QPointF(11, 21), QPointF(21, 11));
}

void drawWarningSign(QPainter& p) {
    QPainterPath triangle;
    triangle.moveTo(16, 2.5);
    triangle.lineTo(30, 28.5);
    triangle.lineTo(2, 28.5);
    triangle.closeSubpath();
    QPainterPathStroker rounder;
    rounder.setWidth(3);
    rounder.setJoinStyle(Qt::RoundJoin);
    const QPainterPath shape = triangle.united(rounder.createStroke(triangle));
    p.fillPath(shape, vertical(2, 29, QColor(0xFF, 0xD2, 0x4A), QColor(0xF0, 0xA5, 0x12)));
    p.strokePath(shape, QPen(QColor(0xB0, 0x74, 0x00), 1));
    p.setPen(roundPen(QColor(0x4A, 0x32, 0x00), 3.0));
    p.drawLine(QPointF(16, 11), QPointF(16, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4A, 0x32, 0x00));
    p.drawEllipse(QPointF(16, 24), 1.9, 1.9);
}

// --- the list of pieces -------------------------------------------------------------------------

std::vector<Piece> pieces() {
    std::vector<Piece> all;
    const auto faces = [&all](const QString& name, QSize size, const std::function<Paint(Face)>& make) {
        for (int i = 0; i < 4; ++i)
            all.push_back(
                {name + QLatin1Char('_') + QLatin1String(kFaceNames[i]), size, make(static_cast<Face>(i))});
    };

    // Dialog frame: 28 px title strip, 5 px edges.
    all.push_back({"dlg_top", {16, 28}, titleStrip(28)});
    all.push_back({"dlg_topleft", {32, 28}, titleCorner(32, 28, true, [](QPainter& p) {
                       drawMark(p, QRectF(11, 5, 18, 18));
                   })});
    all.push_back({"dlg_topright", {8, 28}, titleCorner(8, 28, false)});
    all.push_back({"dlg_left", {5, 8}, sideEdge(5, true)});
    all.push_back({"dlg_right", {5, 8}, sideEdge(5, false)});
    all.push_back({"dlg_bottom", {8, 5}, bottomEdge(5)});
    all.push_back({"dlg_bottomleft", {5, 5}, bottomCorner(5, true)});
    all.push_back({"dlg_bottomright", {5, 5}, bottomCorner(5, false)});
    faces("dlg_min", {29, 26}, [](Face f) { return titleGlyphFace({29, 26}, f, false); });
    faces("dlg_max", {27, 27}, [](Face f) { return titleGlyphFace({27, 27}, f, true); });
    faces("dlg_button", {78, 23}, [](Face f) { return dialogButtonFace({78, 23}, f); });

    // Main window frame: 84 px title area, 8 px edges.
    all.push_back({"main_top", {16, 84}, titleStrip(84)});
    all.push_back({"main_topleft", {64, 84}, titleCorner(64, 84, true, [](QPainter& p) {
                       drawMark(p, QRectF(12, 26, 46, 46));
                   })});
    all.push_back({"main_topright", {8, 84}, titleCorner(8, 84, false)});
    all.push_back({"main_left", {8, 8}, sideEdge(8, true)});
    all.push_back({"main_right", {8, 8}, sideEdge(8, false)});
    all.push_back({"main_bottom", {8, 8}, bottomEdge(8)});
    all.push_back({"main_bottomleft", {8, 8}, bottomCorner(8, true)});
    all.push_back({"main_bottomright", {8, 8}, bottomCorner(8, false)});

    faces("close", {28, 18}, [](Face f) { return closeFace({28, 18}, f); });
    faces("min", {23, 18}, [](Face f) { return titleGlyphFace({23, 18}, f, false); });
    faces("help", {57, 25}, [](Face f) { return helpFace({57, 25}, f); });
    faces("tab_left", {134, 35}, [](Face f) { return tabFace({134, 35}, f, true); });
    faces("tab_right", {134, 35}, [](Face f) { return tabFace({134, 35}, f, false); });
    faces("run", {64, 40}, [](Face f) { return runFace({64, 40}, f); });

    faces("tool_add", {26, 28}, [](Face f) { return toolFace({26, 28}, f, iconPlus); });
    faces("tool_delete", {26, 28}, [](Face f) { return toolFace({26, 28}, f, iconMinus); });
    faces("tool_clear", {26, 28}, [](Face f) { return toolFace({26, 28}, f, iconTrash); });
    faces("tool_refresh", {26, 28}, [](Face f) { return toolFace({26, 28}, f, iconRefresh); });
    faces("path_browse", {24, 24}, [](Face f) { return toolFace({24, 24}, f, iconBrowse); });
    faces("path_locate", {24, 24}, [](Face f) { return toolFace({24, 24}, f, iconLocate); });

    all.push_back({"state_encrypted", {16, 16}, drawShield});
    all.push_back({"state_error", {16, 16}, drawErrorDisc});
    all.push_back({"info", {32, 32}, drawInfoSign});
    all.push_back({"question", {32, 32}, drawQuestionSign});
    all.push_back({"error", {32, 32}, drawErrorSign});
    all.push_back({"warning", {32, 32}, drawWarningSign});
    all.push_back({"logo", {64, 64}, [](QPainter& p) { drawMark(p, QRectF(0, 0, 64, 64)); }});
    return all;
}

bool render(const Piece& piece, int scale, const QString& path) {
    QImage image(piece.size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    piece.paint(painter);
    painter.end();
    return image.save(path, "PNG");
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora_skin_painter <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        std::fprintf(stderr, "velmora_skin_painter: no such folder\n");
        return 1;
    }
    for (const Piece& piece : pieces()) {
        for (int scale : {1, 2}) {
            const QString name =
                piece.name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
            if (!render(piece, scale, folder.filePath(name))) {
                std::fprintf(stderr, "velmora_skin_painter: cannot write %s\n", qPrintable(name));
                return 1;
            }
        }
    }
    return 0;
}
