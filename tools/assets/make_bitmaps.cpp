// Draws the player's small bitmaps: the fourteen category tiles (normal and
// selected), the little round buttons of the player bar and the back button.
// Everything is painted from code so the pictures can be regenerated and
// tweaked instead of living as opaque binaries nobody can edit.
//
// Usage: QT_QPA_PLATFORM=offscreen kibu-make-bitmaps OUTPUT_DIR

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>

namespace {

// The main window is painted in this pink; button pictures have no alpha
// channel, so their corners are filled with it to blend in.
const QColor kWindowPink(255, 192, 255);

const QString kCjkFamily = QStringLiteral("WenQuanYi Zen Hei");

constexpr int kTileSize = 71;
constexpr int kButtonSize = 27;

constexpr qreal kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Shared drawing helpers. Fruits are drawn in a 100 x 100 design box, which
// the tile maps onto its upper 48 pixels; outlines of about 2.5 units end up a
// little over one pixel wide, which is what keeps the shapes readable.

constexpr qreal kOutline = 2.6;

void fillShaded(QPainter& p, const QPainterPath& shape, QPointF lightSpot, qreal radius,
                const QColor& light, const QColor& base, const QColor& dark) {
    QRadialGradient g(lightSpot, radius);
    g.setColorAt(0.0, light);
    g.setColorAt(0.55, base);
    g.setColorAt(1.0, dark);
    p.setBrush(g);
    p.setPen(QPen(dark.darker(130), kOutline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(shape);
}

void shine(QPainter& p, QPointF centre, qreal rx, qreal ry, qreal angle, int alpha = 150) {
    p.save();
    p.translate(centre);
    p.rotate(angle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, alpha));
    p.drawEllipse(QPointF(0, 0), rx, ry);
    p.restore();
}

// A pointed leaf growing from `base` in direction `angle` (degrees, clockwise
// from the +x axis because y points down).
void leaf(QPainter& p, QPointF base, qreal angle, qreal length, qreal width) {
    p.save();
    p.translate(base);
    p.rotate(angle);
    QPainterPath path;
    path.moveTo(0, 0);
    path.cubicTo(length * 0.3, -width, length * 0.75, -width * 0.8, length, 0);
    path.cubicTo(length * 0.75, width * 0.8, length * 0.3, width, 0, 0);
    QLinearGradient g(0, -width, 0, width);
    g.setColorAt(0.0, QColor(140, 215, 70));
    g.setColorAt(1.0, QColor(50, 150, 40));
    p.setBrush(g);
    p.setPen(QPen(QColor(30, 100, 30), kOutline * 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(200, 240, 150), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(length * 0.12, 0), QPointF(length * 0.8, 0));
    p.restore();
}

void stem(QPainter& p, QPointF from, QPointF to, qreal width = 5.5) {
    p.setPen(QPen(QColor(105, 65, 30), width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
}

QPainterPath circle(QPointF c, qreal r) {
    QPainterPath path;
    path.addEllipse(c, r, r);
    return path;
}

// ---------------------------------------------------------------------------
// The fruits.

void drawApple(QPainter& p) {
    stem(p, QPointF(50, 32), QPointF(54, 8));
    QPainterPath body;
    body.moveTo(50, 28);
    body.cubicTo(36, 14, 5, 18, 7, 52);
    body.cubicTo(9, 82, 32, 100, 50, 91);
    body.cubicTo(68, 100, 91, 82, 93, 52);
    body.cubicTo(95, 18, 64, 14, 50, 28);
    fillShaded(p, body, QPointF(34, 40), 64, QColor(255, 140, 120), QColor(230, 30, 35),
               QColor(150, 10, 20));
    leaf(p, QPointF(54, 16), -25, 30, 12);
    shine(p, QPointF(27, 46), 6, 11, 20);
}

void drawOrange(QPainter& p) {
    QPainterPath body = circle(QPointF(50, 56), 40);
    fillShaded(p, body, QPointF(36, 42), 60, QColor(255, 215, 120), QColor(255, 145, 0),
               QColor(205, 90, 0));
    // A few pores so it reads as peel rather than a plain ball.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(210, 100, 0, 150));
    const QPointF pores[] = {{62, 40}, {70, 52}, {58, 62}, {72, 70}, {44, 78},
                             {60, 84}, {30, 66}, {80, 60}, {50, 48}};
    for (QPointF pt : pores)
        p.drawEllipse(pt, 1.5, 1.5);
    // The little dimple where the stalk was.
    p.setBrush(QColor(90, 130, 30));
    p.drawEllipse(QPointF(50, 18), 5, 3);
    leaf(p, QPointF(52, 17), -20, 32, 12);
    shine(p, QPointF(32, 38), 7, 11, 35);
}

void drawGrapes(QPainter& p) {
    stem(p, QPointF(50, 26), QPointF(52, 5));
    leaf(p, QPointF(52, 12), -15, 34, 13);
    const qreal r = 11;
    const QPointF grapes[] = {{18, 34}, {39, 33}, {61, 33}, {82, 34}, {28, 52},
                              {50, 51}, {72, 52}, {39, 70}, {61, 70}, {50, 87}};
    for (QPointF c : grapes) {
        fillShaded(p, circle(c, r), c + QPointF(-4, -4), r * 1.4, QColor(205, 150, 240),
                   QColor(135, 55, 180), QColor(75, 20, 110));
        shine(p, c + QPointF(-4, -4), 2.5, 3.2, 30, 200);
    }
}

void drawBanana(QPainter& p) {
    p.save();
    p.translate(50, 58);
    p.rotate(-12);
    p.translate(-50, -52);
    // Stalk end first so the fruit overlaps it.
    p.setPen(QPen(QColor(120, 130, 40), 7, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(89, 28), QPointF(95, 10));
    p.setPen(QPen(QColor(80, 70, 20), 7, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(95, 11), QPointF(96.3, 7));

    QPainterPath body;
    body.moveTo(5, 32);
    body.cubicTo(12, 102, 80, 102, 93, 24);
    body.cubicTo(74, 62, 28, 66, 5, 32);
    QLinearGradient g(0, 40, 0, 88);
    g.setColorAt(0.0, QColor(255, 245, 130));
    g.setColorAt(0.55, QColor(255, 215, 30));
    g.setColorAt(1.0, QColor(225, 165, 10));
    p.setBrush(g);
    p.setPen(QPen(QColor(160, 110, 10), kOutline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(body);
    // The ridge along the skin.
    QPainterPath ridge;
    ridge.moveTo(14, 46);
    ridge.cubicTo(26, 84, 68, 86, 87, 36);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(215, 160, 10, 170), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(ridge);
    // Dark blossom tip.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 60, 20));
    p.drawEllipse(QPointF(6, 33), 3.5, 3.5);
    p.restore();
}

void drawStrawberry(QPainter& p) {
    QPainterPath body;
    body.moveTo(50, 95);
    body.cubicTo(22, 84, 6, 54, 14, 38);
    body.cubicTo(22, 22, 78, 22, 86, 38);
    body.cubicTo(94, 54, 78, 84, 50, 95);
    fillShaded(p, body, QPointF(38, 44), 64, QColor(255, 120, 120), QColor(235, 25, 45),
               QColor(160, 0, 25));
    // Seeds on a staggered grid, kept off the outline.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 235, 130));
    for (int row = 0; row < 5; ++row) {
        const qreal y = 44 + row * 11;
        for (int col = -3; col <= 3; ++col) {
            const QPointF pt(50 + col * 12 + (row % 2 ? 6 : 0), y);
            if (body.contains(pt + QPointF(0, 4)) && body.contains(pt + QPointF(4, 0)) &&
                body.contains(pt - QPointF(4, 0)))
                p.drawEllipse(pt, 1.8, 2.6);
        }
    }
    stem(p, QPointF(50, 30), QPointF(52, 8), 5);
    const qreal angles[] = {165, 125, 90, 55, 15};
    for (qreal a : angles)
        leaf(p, QPointF(50, 29), a, a == 90 ? 16 : 22, 8);
    shine(p, QPointF(30, 50), 4, 8, 25, 120);
}

void drawPear(QPainter& p) {
    stem(p, QPointF(50, 24), QPointF(53, 5));
    QPainterPath body;
    body.moveTo(50, 19);
    body.cubicTo(38, 19, 38, 42, 29, 54);
    body.cubicTo(14, 72, 20, 97, 50, 97);
    body.cubicTo(80, 97, 86, 72, 71, 54);
    body.cubicTo(62, 42, 62, 19, 50, 19);
    fillShaded(p, body, QPointF(38, 60), 60, QColor(240, 250, 150), QColor(180, 215, 50),
               QColor(105, 150, 20));
    // A warm blush on the sunny side.
    QRadialGradient blush(QPointF(66, 76), 18);
    blush.setColorAt(0, QColor(255, 150, 60, 110));
    blush.setColorAt(1, QColor(255, 150, 60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(blush);
    p.drawPath(body);
    leaf(p, QPointF(52, 12), -20, 28, 11);
    shine(p, QPointF(35, 66), 4.5, 10, 20);
}

void drawWatermelon(QPainter& p) {
    // A half-moon slice, flat side up.
    const QPointF centre(50, 26);
    auto half = [&](qreal rx, qreal ry) {
        QPainterPath path;
        path.moveTo(centre.x() - rx, centre.y());
        path.arcTo(QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry), 180, 180);
        path.closeSubpath();
        return path;
    };
    const QPainterPath rind = half(47, 66);
    p.setBrush(QColor(40, 150, 50));
    p.setPen(QPen(QColor(20, 90, 30), kOutline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(rind);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 240, 170));
    p.drawPath(half(41, 59));
    const QPainterPath flesh = half(37, 54);
    QRadialGradient g(QPointF(50, 30), 60);
    g.setColorAt(0, QColor(255, 110, 120));
    g.setColorAt(1, QColor(235, 30, 55));
    p.setBrush(g);
    p.drawPath(flesh);
    // Seeds as little teardrops pointing to the centre of the slice.
    const QPointF seeds[] = {{34, 40}, {50, 44}, {66, 40}, {40, 58}, {60, 58}, {50, 72}};
    for (QPointF s : seeds) {
        p.save();
        p.translate(s);
        p.rotate(std::atan2(s.y() - centre.y(), s.x() - centre.x()) * 180 / kPi - 90);
        QPainterPath drop;
        drop.moveTo(0, -4.5);
        drop.cubicTo(3.5, -1, 3, 4, 0, 4);
        drop.cubicTo(-3, 4, -3.5, -1, 0, -4.5);
        p.setBrush(QColor(40, 25, 25));
        p.drawPath(drop);
        p.restore();
    }
    // Top edge catches the light.
    p.setPen(QPen(QColor(255, 200, 200), 2));
    p.drawLine(QPointF(centre.x() - 36, centre.y() + 1), QPointF(centre.x() + 36, centre.y() + 1));
}

void drawCherries(QPainter& p) {
    QPainterPath stems;
    stems.moveTo(31, 60);
    stems.quadTo(34, 30, 57, 12);
    stems.moveTo(69, 56);
    stems.quadTo(64, 32, 57, 12);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(95, 140, 40), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(stems);
    leaf(p, QPointF(57, 12), -5, 32, 12);
    const QPointF cherries[] = {{31, 74}, {69, 70}};
    for (QPointF c : cherries) {
        fillShaded(p, circle(c, 19), c + QPointF(-7, -7), 28, QColor(255, 120, 130),
                   QColor(215, 15, 40), QColor(130, 0, 20));
        shine(p, c + QPointF(-8, -7), 3.5, 6, 35, 190);
    }
}

void drawLemon(QPainter& p) {
    p.save();
    p.translate(50, 56);
    p.rotate(-22);
    QPainterPath body;
    body.moveTo(-46, 0);
    body.cubicTo(-42, -6, -40, -10, -36, -14);
    body.cubicTo(-20, -40, 20, -40, 36, -14);
    body.cubicTo(40, -10, 42, -6, 46, 0);
    body.cubicTo(42, 6, 40, 10, 36, 14);
    body.cubicTo(20, 40, -20, 40, -36, 14);
    body.cubicTo(-40, 10, -42, 6, -46, 0);
    fillShaded(p, body, QPointF(-14, -12), 52, QColor(255, 252, 190), QColor(255, 228, 30),
               QColor(205, 165, 0));
    shine(p, QPointF(-14, -14), 12, 4, -8, 160);
    p.restore();
    leaf(p, QPointF(66, 30), -60, 28, 11);
}

void drawPeach(QPainter& p) {
    QPainterPath body;
    body.moveTo(50, 30);
    body.cubicTo(30, 16, 5, 30, 7, 58);
    body.cubicTo(9, 86, 32, 97, 50, 95);
    body.cubicTo(72, 95, 93, 82, 93, 56);
    body.cubicTo(93, 28, 66, 18, 50, 30);
    QRadialGradient g(QPointF(68, 52), 58);
    g.setColorAt(0.0, QColor(255, 95, 110));
    g.setColorAt(0.45, QColor(255, 150, 125));
    g.setColorAt(1.0, QColor(255, 210, 130));
    p.setBrush(g);
    p.setPen(QPen(QColor(215, 95, 85), kOutline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(body);
    // The seam that makes a peach a peach.
    QPainterPath crease;
    crease.moveTo(50, 32);
    crease.cubicTo(36, 48, 37, 76, 48, 93);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(215, 90, 85), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(crease);
    stem(p, QPointF(50, 31), QPointF(52, 18), 5);
    leaf(p, QPointF(51, 22), -30, 30, 12);
    leaf(p, QPointF(49, 24), -150, 22, 9);
    shine(p, QPointF(24, 52), 5, 9, 20, 140);
}

void drawPineapple(QPainter& p) {
    // Crown: spiky leaves fanning out, tallest in the middle.
    const struct {
        qreal angle, length;
    } crown[] = {{-150, 22}, {-30, 22}, {-125, 30}, {-55, 30}, {-105, 36}, {-75, 36}, {-90, 40}};
    for (const auto& c : crown) {
        p.save();
        p.translate(50, 44);
        p.rotate(c.angle);
        QPainterPath spike;
        spike.moveTo(0, -5);
        spike.quadTo(c.length * 0.6, -4, c.length, 0);
        spike.quadTo(c.length * 0.6, 4, 0, 5);
        spike.closeSubpath();
        QLinearGradient g(0, -5, 0, 5);
        g.setColorAt(0, QColor(130, 210, 70));
        g.setColorAt(1, QColor(40, 135, 45));
        p.setBrush(g);
        p.setPen(QPen(QColor(25, 95, 30), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(spike);
        p.restore();
    }
    QPainterPath body;
    body.addEllipse(QPointF(50, 69), 27, 29);
    fillShaded(p, body, QPointF(40, 58), 42, QColor(255, 230, 110), QColor(250, 185, 30),
               QColor(200, 120, 10));
    // The criss-cross scales.
    p.save();
    p.setClipPath(body);
    p.setPen(QPen(QColor(165, 95, 15), 2, Qt::SolidLine, Qt::RoundCap));
    for (qreal k = -60; k <= 60; k += 12) {
        p.drawLine(QPointF(50 + k - 40, 29), QPointF(50 + k + 40, 109));
        p.drawLine(QPointF(50 + k + 40, 29), QPointF(50 + k - 40, 109));
    }
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(150, 85, 10), kOutline));
    p.drawPath(body);
    shine(p, QPointF(36, 60), 4, 9, 15, 120);
}

void drawKiwi(QPainter& p) {
    // A whole fruit peeking from behind the cut half.
    QPainterPath whole;
    whole.addEllipse(QPointF(30, 38), 26, 22);
    fillShaded(p, whole, QPointF(22, 30), 36, QColor(190, 145, 90), QColor(145, 100, 50),
               QColor(95, 60, 25));

    const QPointF c(58, 60);
    p.setPen(QPen(QColor(90, 60, 25), kOutline));
    p.setBrush(QColor(135, 95, 45));
    p.drawEllipse(c, 37, 37);
    QRadialGradient g(c, 33);
    g.setColorAt(0.0, QColor(200, 240, 110));
    g.setColorAt(0.45, QColor(150, 210, 50));
    g.setColorAt(1.0, QColor(95, 170, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, 33, 33);
    p.setBrush(QColor(248, 252, 215));
    p.drawEllipse(c, 10, 9);
    // The ring of tiny black seeds around the pale core.
    p.setBrush(QColor(30, 25, 20));
    for (int i = 0; i < 16; ++i) {
        const qreal a = i * 2 * kPi / 16;
        const qreal rr = (i % 2) ? 17 : 14.5;
        p.save();
        p.translate(c + QPointF(std::cos(a) * rr, std::sin(a) * rr));
        p.rotate(a * 180 / kPi);
        p.drawEllipse(QPointF(0, 0), 2.6, 1.5);
        p.restore();
    }
}

void drawPlum(QPainter& p) {
    stem(p, QPointF(50, 26), QPointF(55, 8), 5);
    QPainterPath body;
    body.moveTo(50, 26);
    body.cubicTo(26, 18, 10, 36, 11, 60);
    body.cubicTo(12, 84, 30, 96, 50, 96);
    body.cubicTo(72, 96, 90, 82, 90, 58);
    body.cubicTo(90, 34, 72, 20, 50, 26);
    fillShaded(p, body, QPointF(36, 46), 62, QColor(215, 120, 200), QColor(140, 30, 110),
               QColor(75, 5, 60));
    QPainterPath crease;
    crease.moveTo(50, 28);
    crease.cubicTo(62, 46, 64, 72, 56, 92);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 10, 75), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(crease);
    leaf(p, QPointF(54, 14), -160, 28, 11);
    shine(p, QPointF(30, 50), 6, 11, 20, 150);
}

void drawMango(QPainter& p) {
    // An oblong, slightly kidney-shaped fruit lying on a slant, green at the
    // stalk end ripening to red: the shape is what tells it apart from a peach.
    p.save();
    p.translate(45, 60);
    p.rotate(-35);
    QPainterPath body;
    body.moveTo(-44, 6);
    body.cubicTo(-46, -26, -10, -35, 14, -31);
    body.cubicTo(38, -27, 48, -10, 45, 8);
    body.cubicTo(42, 28, 18, 34, -6, 32);
    body.cubicTo(-30, 30, -43, 22, -44, 6);
    QLinearGradient g(QPointF(44, -10), QPointF(-44, 10));
    g.setColorAt(0.0, QColor(120, 185, 45));
    g.setColorAt(0.3, QColor(250, 215, 50));
    g.setColorAt(0.65, QColor(255, 150, 40));
    g.setColorAt(1.0, QColor(235, 70, 50));
    p.setBrush(g);
    p.setPen(QPen(QColor(165, 80, 20), kOutline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(body);
    shine(p, QPointF(-4, -16), 16, 4.5, -4, 140);
    stem(p, QPointF(42, -6), QPointF(51, -9), 5);
    leaf(p, QPointF(48, -8), -70, 24, 10);
    p.restore();
}

struct Category {
    const char* label;
    void (*draw)(QPainter&);
};

const Category kCategories[] = {
    {"中文儿歌", drawApple},    {"中文童谣", drawOrange},     {"英文儿歌", drawGrapes},
    {"小故事", drawBanana},     {"童话故事", drawStrawberry}, {"学英语", drawPear},
    {"学古诗", drawWatermelon}, {"学拼音", drawCherries},     {"识字", drawLemon},
    {"益智游戏", drawPeach},    {"涂色拼图", drawPineapple},  {"数学游戏", drawKiwi},
    {"语文游戏", drawPlum},     {"英语游戏", drawMango},
};

// ---------------------------------------------------------------------------
// Output.

QImage canvas(int w, int h, const QColor& fill) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

// Painting happens on a premultiplied ARGB surface (the fast, fully supported
// path for antialiasing), then the result is flattened to 24-bit RGB because
// the player loads these as plain opaque pictures.
bool save(const QImage& img, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    if (!img.convertToFormat(QImage::Format_RGB888).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QFont cjkFont(int pixelSize, bool bold = false) {
    QFont f(kCjkFamily);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QImage makeTile(const Category& cat, bool selected) {
    QImage img =
        canvas(kTileSize, kTileSize, selected ? QColor(255, 248, 205) : QColor(255, 253, 246));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // A soft glow behind the fruit lifts it off the background.
    QRadialGradient glow(QPointF(35.5, 27), 30);
    glow.setColorAt(0, selected ? QColor(255, 236, 150) : QColor(255, 240, 225));
    glow.setColorAt(1, selected ? QColor(255, 248, 205, 0) : QColor(255, 253, 246, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(35.5, 27), 30, 30);

    if (selected) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 120, 110), 2));
        p.drawRoundedRect(QRectF(1, 1, kTileSize - 2, kTileSize - 2), 7, 7);
    }

    p.save();
    p.translate(11.5, 2);
    p.scale(0.48, 0.48);
    cat.draw(p);
    p.restore();

    p.setFont(cjkFont(12));
    p.setPen(selected ? QColor(220, 0, 0) : QColor(55, 45, 45));
    p.drawText(QRectF(0, 53, kTileSize, 15), Qt::AlignCenter, QString::fromUtf8(cat.label));
    return img;
}

// ---------------------------------------------------------------------------
// Player-bar buttons: a glossy blue disc with a white symbol, which stands out
// on the pink window without clashing with it.

const QColor kButtonTop(120, 195, 255);
const QColor kButtonBottom(30, 115, 225);
const QColor kButtonEdge(25, 85, 180);

void buttonFace(QPainter& p, const QRectF& r, qreal radius) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kButtonTop);
    g.setColorAt(1, kButtonBottom);
    p.setBrush(g);
    p.setPen(QPen(kButtonEdge, 1));
    p.drawRoundedRect(r, radius, radius);
    // Gloss on the upper half.
    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 120));
    gloss.setColorAt(1, QColor(255, 255, 255, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    const QRectF top(r.left() + 3, r.top() + 1.5, r.width() - 6, r.height() * 0.45);
    p.drawRoundedRect(top, top.height() / 2, top.height() / 2);
}

QImage roundButton(void (*symbol)(QPainter&)) {
    QImage img = canvas(kButtonSize, kButtonSize, kWindowPink);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    buttonFace(p, QRectF(1, 1, 25, 25), 12.5);
    symbol(p);
    return img;
}

const QColor kSymbol(255, 255, 255);

void symbolPlay(QPainter& p) {
    const QPointF tri[] = {{10.5, 7.5}, {10.5, 19.5}, {20.5, 13.5}};
    p.setBrush(kSymbol);
    p.setPen(QPen(kSymbol, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolygon(tri, 3);
}

void symbolPause(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kSymbol);
    p.drawRoundedRect(QRectF(8.5, 7.5, 4, 12), 1.2, 1.2);
    p.drawRoundedRect(QRectF(14.5, 7.5, 4, 12), 1.2, 1.2);
}

void symbolFullscreen(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kSymbol, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Each corner: a short diagonal shaft ending in an arrowhead at the corner.
    const qreal lo = 6.5, hi = 20.5, head = 4.5, shaft = 4.5;
    const struct {
        qreal x, y, dx, dy;
    } corners[] = {{lo, lo, 1, 1}, {hi, lo, -1, 1}, {lo, hi, 1, -1}, {hi, hi, -1, -1}};
    for (const auto& c : corners) {
        const QPointF tip(c.x, c.y);
        const QPointF head1[] = {tip + QPointF(0, c.dy * head), tip, tip + QPointF(c.dx * head, 0)};
        p.drawPolyline(head1, 3);
        p.drawLine(tip, tip + QPointF(c.dx * shaft, c.dy * shaft));
    }
}

void speaker(QPainter& p, qreal dx) {
    const QPointF body[] = {{5.5 + dx, 11},  {9 + dx, 11}, {13.5 + dx, 7},
                            {13.5 + dx, 20}, {9 + dx, 16}, {5.5 + dx, 16}};
    p.setBrush(kSymbol);
    p.setPen(QPen(kSymbol, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolygon(body, 6);
}

void symbolSoundOn(QPainter& p) {
    speaker(p, 0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kSymbol, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(10.5, 10, 7, 7), -50 * 16, 100 * 16);
    p.drawArc(QRectF(7, 6.5, 14, 14), -50 * 16, 100 * 16);
}

void symbolSoundOff(QPainter& p) {
    speaker(p, -0.5);
    // White halo under the red cross so it stays visible on the blue disc.
    const QLineF a(15.5, 10.5, 21, 16.5), b(21, 10.5, 15.5, 16.5);
    p.setPen(QPen(kSymbol, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a);
    p.drawLine(b);
    p.setPen(QPen(QColor(235, 20, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a);
    p.drawLine(b);
}

QImage backButton() {
    QImage img = canvas(47, kButtonSize, kWindowPink);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    buttonFace(p, QRectF(1, 1.5, 45, 24), 12);
    p.setFont(cjkFont(14, true));
    // A faint shadow keeps white text crisp on the lighter top of the button.
    p.setPen(QColor(20, 70, 160, 160));
    p.drawText(QRectF(1, 2.5, 45, 24), Qt::AlignCenter, QStringLiteral("返回"));
    p.setPen(kSymbol);
    p.drawText(QRectF(1, 1.5, 45, 24), Qt::AlignCenter, QStringLiteral("返回"));
    return img;
}

} // namespace

// The program's icon in the sizes of the hicolor theme: the first
// category's apple, on nothing.
bool makeIcons(const QDir& dir) {
    bool ok = true;
    for (int size : {48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 100.0, size / 100.0);
        drawApple(p);
        p.end();
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        ok &= dir.mkpath(folder) &&
              icon.save(dir.filePath(folder + QStringLiteral("/example.kibu.player.png")));
    }
    return ok;
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--icons")
        return makeIcons(QDir(QString::fromLocal8Bit(argv[2]))) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR | --icons OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    // Without the CJK font Qt would quietly substitute boxes, and the damage
    // would only show once someone looked at the pictures.
    if (!QFontDatabase::families().contains(kCjkFamily)) {
        std::fprintf(stderr, "font \"%s\" not found (install fonts-wqy-zenhei)\n",
                     qPrintable(kCjkFamily));
        return 1;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    int n = 1;
    for (const Category& cat : kCategories) {
        ok &= save(makeTile(cat, false), dir, QStringLiteral("%1.png").arg(100 + n));
        ok &= save(makeTile(cat, true), dir, QStringLiteral("%1.png").arg(200 + n));
        ++n;
    }
    ok &= save(roundButton(symbolSoundOn), dir, QStringLiteral("jingyin1.png"));
    ok &= save(roundButton(symbolSoundOff), dir, QStringLiteral("jingyin2.png"));
    ok &= save(roundButton(symbolPlay), dir, QStringLiteral("play.png"));
    ok &= save(roundButton(symbolPause), dir, QStringLiteral("pause.png"));
    ok &= save(roundButton(symbolFullscreen), dir, QStringLiteral("fullscreen.png"));
    ok &= save(backButton(), dir, QStringLiteral("back.png"));
    return ok ? 0 : 1;
}
