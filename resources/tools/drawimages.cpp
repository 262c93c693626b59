// Draws every picture in resources/images with QPainter.
// Usage: drawimages <output folder>   (run with QT_QPA_PLATFORM=offscreen)
// No randomness and no clock: the same Qt build gives the same bytes.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>

namespace {

const QColor kBrown(0x8C, 0x6A, 0x26);
const QColor kBrownDeep(0x6E, 0x52, 0x1C);
const QColor kBeige(0xE4, 0xD8, 0xCB);
const QColor kBeigeWarm(0xEF, 0xDC, 0xC8);
const QColor kGreyDark(0x44, 0x44, 0x44);
const QColor kGrey(0x66, 0x66, 0x66);
const QColor kWire(0x33, 0x33, 0x33);

QString gOutDir;
bool gOk = true;

const double kPi = 3.14159265358979323846;

QImage blank(int w, int h, const QColor &fill = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void save(const QImage &img, const char *name)
{
    const QString path = QDir(gOutDir).filePath(QString::fromLatin1(name));
    // Plain ARGB32 so the file does not depend on premultiplication rounding.
    if (!img.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        gOk = false;
    }
}

void smooth(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QFont sans(double pixelSize, int weight = QFont::Normal)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QPen roundPen(const QColor &c, double w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---------------------------------------------------------------- splash

void drawSplash()
{
    const int W = 1228, H = 714;
    QImage img = blank(W, H);
    QPainter p(&img);
    smooth(p);

    QLinearGradient bg(0, 0, W, H);
    bg.setColorAt(0.0, QColor(0xF6, 0xEE, 0xE4));
    bg.setColorAt(0.55, kBeigeWarm);
    bg.setColorAt(1.0, kBeige);
    p.fillRect(img.rect(), bg);

    // Sensor-array motif: a 16 x 16 cell grid lit by a soft spot, with the
    // gate rows leaving to the left and the readout columns leaving downwards.
    const int n = 16;
    const double cell = 25.0, gap = 4.0;
    const double side = n * cell - gap;
    const double gx = 748.0, gy = (H - side) / 2.0 - 14.0;

    p.setPen(QPen(QColor(0x8C, 0x6A, 0x26, 40), 1.2));
    for (int i = 0; i < n; ++i) {
        const double y = gy + i * cell + (cell - gap) / 2.0;
        p.drawLine(QPointF(gx - 70.0 + (i % 2) * 18.0, y), QPointF(gx - 8.0, y));
        const double x = gx + i * cell + (cell - gap) / 2.0;
        p.drawLine(QPointF(x, gy + side + 8.0), QPointF(x, gy + side + 60.0 - (i % 2) * 16.0));
    }

    const double sx = 0.62, sy = 0.38;  // spot centre, in grid units 0..1
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double u = (c + 0.5) / n - sx;
            const double v = (r + 0.5) / n - sy;
            const double lit = std::exp(-(u * u + v * v) / (2.0 * 0.20 * 0.20));
            QColor fill = kBrown;
            fill.setAlphaF(0.07 + 0.55 * lit);
            const QRectF cr(gx + c * cell, gy + r * cell, cell - gap, cell - gap);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(cr, 3.0, 3.0);
            // The photodiode's window, a lighter corner in each cell.
            QColor win(255, 255, 255);
            win.setAlphaF(0.10 + 0.35 * lit);
            p.setBrush(win);
            p.drawRoundedRect(QRectF(cr.left() + 3, cr.top() + 3, cr.width() * 0.45,
                                     cr.height() * 0.45), 2.0, 2.0);
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x8C, 0x6A, 0x26, 110), 2.0));
    p.drawRoundedRect(QRectF(gx - 10, gy - 10, side + 20, side + 20), 8, 8);

    // Title block.
    const double tx = 96.0;
    p.setPen(kBrown);
    p.setFont(sans(128, QFont::Bold));
    const QFontMetricsF tm(p.font());
    const double baseTitle = 318.0;
    p.drawText(QPointF(tx, baseTitle), QStringLiteral("Tessary"));
    const double titleW = tm.horizontalAdvance(QStringLiteral("Tessary"));

    p.setPen(QPen(QColor(0x8C, 0x6A, 0x26, 204), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(tx + 4, baseTitle + 34), QPointF(tx + titleW, baseTitle + 34));

    p.setPen(kGreyDark);
    p.setFont(sans(32));
    p.drawText(QPointF(tx + 2, baseTitle + 92),
               QString::fromUtf8("TFT Photodiode Array \u00B7 256 \u00D7 256"));

    p.setPen(kGrey);
    p.setFont(sans(21));
    p.drawText(QPointF(tx + 2, baseTitle + 136),
               QStringLiteral("Acquisition and test tool for the sensor board"));

    // Calm footer band, where start-up messages may be written.
    p.fillRect(QRectF(0, H - 8, W, 8), kBrown);
    p.fillRect(QRectF(0, H - 11, W, 3), QColor(0x8C, 0x6A, 0x26, 90));

    p.end();
    save(img, "222.png");
}

// ---------------------------------------------------------------- lamps

void drawLamp(const char *name, const QColor &light, const QColor &mid, const QColor &rim,
              bool glow)
{
    QImage img = blank(48, 48);
    QPainter p(&img);
    smooth(p);
    const QPointF c(24, 24);

    if (glow) {
        QRadialGradient halo(c, 24);
        QColor h = mid;
        h.setAlpha(90);
        halo.setColorAt(0.6, h);
        h.setAlpha(0);
        halo.setColorAt(1.0, h);
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, 24, 24);
    }

    QRadialGradient body(QPointF(19, 18), 22);
    body.setColorAt(0.0, light);
    body.setColorAt(0.55, mid);
    body.setColorAt(1.0, rim);
    p.setBrush(body);
    p.setPen(QPen(rim, 2.0));
    p.drawEllipse(c, 17, 17);

    QLinearGradient shine(0, 8, 0, 24);
    shine.setColorAt(0, QColor(255, 255, 255, 190));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QRectF(14, 10, 20, 12));
    p.end();
    save(img, name);
}

// ---------------------------------------------------------------- eye

void drawEye(const char *name, bool struck)
{
    QImage img = blank(64, 64);
    QPainter p(&img);
    smooth(p);

    QPainterPath lid;
    lid.moveTo(4, 32);
    lid.cubicTo(16, 12, 48, 12, 60, 32);
    lid.cubicTo(48, 52, 16, 52, 4, 32);
    p.setPen(roundPen(kGrey, 6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lid);

    p.setPen(Qt::NoPen);
    p.setBrush(kGrey);
    p.drawEllipse(QPointF(32, 32), 10.5, 10.5);

    if (struck) {
        // Cut a clear channel first so the slash reads apart from the eye.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(roundPen(Qt::black, 14));
        p.drawLine(QPointF(10, 56), QPointF(54, 8));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(roundPen(kGrey, 6));
        p.drawLine(QPointF(10, 56), QPointF(54, 8));
    }
    p.end();
    save(img, name);
}

// ---------------------------------------------------------------- small UI

void drawClose()
{
    QImage img = blank(64, 64);
    QPainter p(&img);
    smooth(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kBrown);
    p.drawEllipse(QPointF(32, 32), 29, 29);
    p.setPen(roundPen(Qt::white, 6));
    const double d = 11;
    p.drawLine(QPointF(32 - d, 32 - d), QPointF(32 + d, 32 + d));
    p.drawLine(QPointF(32 + d, 32 - d), QPointF(32 - d, 32 + d));
    p.end();
    save(img, "close.png");
}

// Drawn at display size: the combo box shows these through `image`, which
// sizes the sub-control from the picture itself.
void drawArrow(const char *name, bool down)
{
    QImage img = blank(10, 6);
    QPainter p(&img);
    smooth(p);
    QPolygonF tri;
    if (down)
        tri << QPointF(0, 1) << QPointF(10, 1) << QPointF(5, 6);
    else
        tri << QPointF(0, 5) << QPointF(10, 5) << QPointF(5, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(kGrey);
    p.drawPolygon(tri);
    p.end();
    save(img, name);
}

void drawCheckbox(const char *name, bool checked)
{
    QImage img = blank(56, 56);
    QPainter p(&img);
    smooth(p);
    const QRectF box(2, 2, 52, 52);  // border lands on whole pixels at 14 px
    if (checked) {
        p.setPen(QPen(kBrown, 4));
        p.setBrush(kBrown);
        p.drawRoundedRect(box, 8, 8);
        QPainterPath tick;
        tick.moveTo(15, 29);
        tick.lineTo(24.5, 38.5);
        tick.lineTo(41.5, 18);
        p.setPen(roundPen(Qt::white, 7));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    } else {
        p.setPen(QPen(kBrown, 4));
        p.setBrush(Qt::white);
        p.drawRoundedRect(box, 8, 8);
    }
    p.end();
    save(img, name);
}

void drawFolder()
{
    // White on transparent: the chooser button behind it is mid grey.
    QImage img = blank(68, 68);
    QPainter p(&img);
    smooth(p);

    QPainterPath back;
    back.moveTo(7, 16);
    back.quadTo(7, 12, 11, 12);
    back.lineTo(25, 12);
    back.lineTo(31, 18);
    back.lineTo(57, 18);
    back.quadTo(61, 18, 61, 22);
    back.lineTo(61, 54);
    back.quadTo(61, 57, 58, 57);
    back.lineTo(10, 57);
    back.quadTo(7, 57, 7, 54);
    back.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawPath(back);

    QPainterPath front;
    front.moveTo(13, 28);
    front.lineTo(63, 28);
    front.quadTo(66, 28, 65, 31);
    front.lineTo(60, 54);
    front.quadTo(59.4, 57, 56, 57);
    front.lineTo(10, 57);
    front.quadTo(6.5, 57, 7.2, 54);
    front.lineTo(10.5, 30.5);
    front.quadTo(11, 28, 13, 28);
    front.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(front);
    p.end();
    save(img, "file.png");
}

void drawHelp(const char *name, bool pressed)
{
    QImage img = blank(56, 56);
    QPainter p(&img);
    smooth(p);
    const QPointF c(28, 28);
    if (pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBrownDeep);
        p.drawEllipse(c, 26, 26);
    } else {
        p.setPen(QPen(kBrown, 4));
        p.setBrush(Qt::white);
        p.drawEllipse(c, 24, 24);
    }
    const QColor ink = pressed ? Qt::white : kBrown;
    QPainterPath q;
    q.moveTo(20, 21);
    q.cubicTo(20, 12.5, 36, 12.5, 36, 21);
    q.cubicTo(36, 27, 28, 27.5, 28, 34);
    p.setPen(roundPen(ink, 5.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(28, 42), 3.6, 3.6);
    p.end();
    save(img, name);
}

void drawKnob()
{
    QImage img = blank(64, 64);
    QPainter p(&img);
    smooth(p);
    const QPointF c(32, 32);
    QRadialGradient g(QPointF(26, 24), 34);
    g.setColorAt(0.0, Qt::white);
    g.setColorAt(1.0, kBeigeWarm);
    p.setPen(QPen(kBrown, 6));
    p.setBrush(g);
    p.drawEllipse(c, 27, 27);
    p.setPen(Qt::NoPen);
    p.setBrush(kBrown);
    p.drawEllipse(c, 9, 9);
    p.end();
    save(img, "slidebutton.png");
}

void drawRotate(const char *name, const QColor &ink)
{
    QImage img = blank(72, 76);
    QPainter p(&img);
    smooth(p);
    const QPointF c(35, 40);
    const double r = 23;
    const double startDeg = 52, spanDeg = -300;  // clockwise on screen
    p.setPen(QPen(ink, 7, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), qRound(startDeg * 16),
              qRound(spanDeg * 16));

    const double end = (startDeg + spanDeg) * kPi / 180.0;
    const QPointF at(c.x() + r * std::cos(end), c.y() - r * std::sin(end));
    const QPointF dir(std::sin(end), std::cos(end));     // clockwise tangent
    const QPointF rad(std::cos(end), -std::sin(end));    // outward
    QPolygonF head;
    head << at + dir * 17.0 << at - dir * 1.0 + rad * 13.0 << at - dir * 1.0 - rad * 13.0;
    p.setPen(roundPen(ink, 2));
    p.setBrush(ink);
    p.drawPolygon(head);
    p.end();
    save(img, name);
}

void drawMirror(const char *name, const QColor &ink)
{
    QImage img = blank(64, 60);
    QPainter p(&img);
    smooth(p);

    // Dashes of 8 px (2 px on screen) so they survive the 4x reduction.
    QPen axis(ink, 3.5, Qt::CustomDashLine, Qt::FlatCap);
    axis.setDashPattern({8 / 3.5, 8 / 3.5});
    p.setPen(axis);
    p.drawLine(QPointF(32, 4), QPointF(32, 60));

    QPolygonF left;
    left << QPointF(25, 13) << QPointF(25, 48) << QPointF(5, 48);
    p.setPen(roundPen(ink, 4));
    p.setBrush(ink);
    p.drawPolygon(left);

    QPolygonF right;
    right << QPointF(39, 13) << QPointF(39, 48) << QPointF(59, 48);
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(right);
    p.end();
    save(img, name);
}

// ---------------------------------------------------------------- schematics

struct Schematic {
    QPainter &p;

    void wire(std::initializer_list<QPointF> pts)
    {
        p.setPen(QPen(kWire, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        QPolygonF poly;
        for (const QPointF &q : pts)
            poly << q;
        p.drawPolyline(poly);
    }

    void dot(const QPointF &at)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(kWire);
        p.drawEllipse(at, 4.0, 4.0);
    }

    void terminal(const QPointF &at)
    {
        p.setPen(QPen(kWire, 2.0));
        p.setBrush(Qt::white);
        p.drawEllipse(at, 5.0, 5.0);
    }

    void label(const QPointF &at, const QString &text, double size, bool bold,
               const QColor &c, Qt::Alignment align)
    {
        p.setFont(sans(size, bold ? QFont::Bold : QFont::Normal));
        p.setPen(c);
        QRectF box(at.x() - 200, at.y() - 50, 400, 100);
        if (align & Qt::AlignLeft)
            box.moveLeft(at.x());
        if (align & Qt::AlignRight)
            box.moveRight(at.x());
        if (align & Qt::AlignTop)
            box.moveTop(at.y());
        if (align & Qt::AlignBottom)
            box.moveBottom(at.y());
        p.drawText(box, int(align), text);
    }

    void supply(const QPointF &at, const QString &text, Qt::Alignment align)
    {
        terminal(at);
        QPointF t = at;
        if (align & Qt::AlignLeft)
            t.rx() += 10;
        else if (align & Qt::AlignRight)
            t.rx() -= 10;
        else
            t.ry() -= 10;
        label(t, text, 15, true, kBrown, align);
    }

    // TFT in series between two wire ends. Local frame: terminals at
    // (-20,0) and (20,0), gate on the +y side, gate lead ending at gateLen.
    // rot: 0 = gate below, 90 = vertical with gate on the left,
    // 180 = gate above, 270 = vertical with gate on the right.
    void tft(const QPointF &centre, double rot, double gateLen)
    {
        p.save();
        p.translate(centre);
        p.rotate(rot);
        p.setPen(QPen(kBrown, 2.2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(-20, 0), QPointF(-14, 0), QPointF(-14, 9)}));
        p.drawPolyline(QPolygonF({QPointF(20, 0), QPointF(14, 0), QPointF(14, 9)}));
        p.setPen(QPen(kBrown, 4.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(-18, 9), QPointF(18, 9));   // channel
        p.setPen(QPen(kBrown, 2.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(-16, 16), QPointF(16, 16)); // gate electrode
        p.setPen(QPen(kWire, 2.0, Qt::SolidLine, Qt::SquareCap));
        p.drawLine(QPointF(0, 16), QPointF(0, gateLen));
        p.restore();
    }

    // Photodiode, cathode at top; the arrows show incoming light.
    void photodiode(const QPointF &cathode, double height)
    {
        const double x = cathode.x(), yt = cathode.y(), yb = yt + height;
        p.setPen(QPen(kBrown, 2.2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(QColor(0x8C, 0x6A, 0x26, 60));
        QPolygonF tri;
        tri << QPointF(x - 13, yb) << QPointF(x + 13, yb) << QPointF(x, yt);
        p.drawPolygon(tri);
        p.setPen(QPen(kBrown, 3.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(x - 14, yt), QPointF(x + 14, yt));

        for (int i = 0; i < 2; ++i) {
            const QPointF tip(x - 15, yt + 7 + i * 13);
            const QPointF from = tip + QPointF(-18, -12);
            p.setPen(QPen(kBrown, 1.8, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(from, tip - QPointF(4.5, 3.0)); // stop under the head
            const double a = std::atan2(tip.y() - from.y(), tip.x() - from.x());
            QPolygonF head;
            head << tip
                 << tip - QPointF(std::cos(a - 0.45), std::sin(a - 0.45)) * 8.0
                 << tip - QPointF(std::cos(a + 0.45), std::sin(a + 0.45)) * 8.0;
            p.setPen(Qt::NoPen);
            p.setBrush(kBrown);
            p.drawPolygon(head);
        }
    }

    // Capacitor with vertical leads; plates at y and y + 9.
    void capacitor(const QPointF &top)
    {
        p.setPen(QPen(kBrown, 3.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(top.x() - 15, top.y()), QPointF(top.x() + 15, top.y()));
        p.drawLine(QPointF(top.x() - 15, top.y() + 9), QPointF(top.x() + 15, top.y() + 9));
    }
};

void drawDiagram1()
{
    QImage img = blank(500, 250, Qt::white);
    QPainter p(&img);
    smooth(p);
    Schematic s{p};

    s.label(QPointF(14, 12), QStringLiteral("1T0C"), 17, true, kGreyDark,
            Qt::AlignLeft | Qt::AlignTop);

    const double xPd = 130, yRail = 60, yCath = 96, yNode = 165;
    const double xTft = 265, xRead = 420;

    s.wire({QPointF(xPd, yRail), QPointF(xPd, yCath)});
    s.photodiode(QPointF(xPd, yCath), 30);
    s.wire({QPointF(xPd, yCath + 30), QPointF(xPd, yNode), QPointF(xTft - 20, yNode)});
    s.supply(QPointF(xPd, yRail), QStringLiteral("Vss"), Qt::AlignLeft | Qt::AlignVCenter);
    s.label(QPointF(xPd + 22, yCath + 17), QStringLiteral("PD"), 15, true, kGreyDark,
            Qt::AlignLeft | Qt::AlignVCenter);

    s.tft(QPointF(xTft, yNode), 0, 42);
    s.label(QPointF(xTft, yNode - 10), QStringLiteral("Readout TFT"), 12, false, kGrey,
            Qt::AlignHCenter | Qt::AlignBottom);
    s.terminal(QPointF(xTft, yNode + 47));
    s.label(QPointF(xTft + 12, yNode + 47), QStringLiteral("Von/Voff"), 15, true, kBrown,
            Qt::AlignLeft | Qt::AlignVCenter);

    s.wire({QPointF(xTft + 20, yNode), QPointF(xRead, yNode)});
    s.wire({QPointF(xRead, 48), QPointF(xRead, 236)});
    s.dot(QPointF(xRead, yNode));
    s.label(QPointF(xRead, 42), QStringLiteral("Readout"), 15, true, kBrown,
            Qt::AlignHCenter | Qt::AlignBottom);
    // Charge flows down the column to the readout amplifier.
    QPolygonF head;
    head << QPointF(xRead, 238) << QPointF(xRead - 6, 226) << QPointF(xRead + 6, 226);
    p.setPen(Qt::NoPen);
    p.setBrush(kWire);
    p.drawPolygon(head);

    p.end();
    save(img, "v1.png");
}

void drawDiagram2()
{
    QImage img = blank(500, 250, Qt::white);
    QPainter p(&img);
    smooth(p);
    Schematic s{p};

    s.label(QPointF(14, 12), QStringLiteral("4T1C"), 17, true, kGreyDark,
            Qt::AlignLeft | Qt::AlignTop);

    const double yRail = 56, yNode = 150;
    const double xPd = 62, yCath = 84;
    const double xTx = 122, xFd = 185, xDrv = 300, xSel = 372, ySel = 212, xRead = 448;

    // Photodiode on Vss, transfer TFT onto the storage node.
    s.wire({QPointF(xPd, yRail), QPointF(xPd, yCath)});
    s.photodiode(QPointF(xPd, yCath), 28);
    s.supply(QPointF(xPd, yRail), QStringLiteral("Vss"), Qt::AlignLeft | Qt::AlignVCenter);
    s.label(QPointF(xPd + 20, yCath + 16), QStringLiteral("PD"), 15, true, kGreyDark,
            Qt::AlignLeft | Qt::AlignVCenter);
    s.wire({QPointF(xPd, yCath + 28), QPointF(xPd, yNode), QPointF(xTx - 20, yNode)});
    s.tft(QPointF(xTx, yNode), 0, 44);
    s.terminal(QPointF(xTx, yNode + 49));
    s.label(QPointF(xTx, yNode + 58), QStringLiteral("TX"), 13, true, kGrey,
            Qt::AlignHCenter | Qt::AlignTop);

    // Storage node: reset TFT up to Vin, capacitor down to Vss.
    s.wire({QPointF(xTx + 20, yNode), QPointF(xDrv - 42, yNode)});
    s.dot(QPointF(xFd, yNode));
    s.wire({QPointF(xFd, yNode), QPointF(xFd, 120)});
    s.tft(QPointF(xFd, 100), 90, 34);
    s.wire({QPointF(xFd, 80), QPointF(xFd, yRail)});
    s.supply(QPointF(xFd, yRail), QStringLiteral("Vin"), Qt::AlignLeft | Qt::AlignVCenter);
    s.terminal(QPointF(xFd - 39, 100));
    s.label(QPointF(xFd - 39, 90), QStringLiteral("RST"), 13, true, kGrey,
            Qt::AlignHCenter | Qt::AlignBottom);

    s.wire({QPointF(xFd, yNode), QPointF(xFd, 181)});
    s.capacitor(QPointF(xFd, 181));
    s.wire({QPointF(xFd, 190), QPointF(xFd, 222)});
    s.supply(QPointF(xFd, 227), QStringLiteral("Vss"), Qt::AlignLeft | Qt::AlignVCenter);
    s.label(QPointF(xFd + 20, 185.5), QStringLiteral("Cs"), 14, true, kGreyDark,
            Qt::AlignLeft | Qt::AlignVCenter);

    // Drive TFT (source follower) from Vdd, then the select TFT.
    s.tft(QPointF(xDrv, yNode), 90, 42);
    s.wire({QPointF(xDrv, yNode - 20), QPointF(xDrv, yRail)});
    s.supply(QPointF(xDrv, yRail), QStringLiteral("Vdd"), Qt::AlignLeft | Qt::AlignVCenter);
    s.label(QPointF(xDrv - 24, yNode - 12), QStringLiteral("Drive"), 12, false, kGrey,
            Qt::AlignRight | Qt::AlignBottom);
    s.label(QPointF(xFd + 8, 100), QStringLiteral("Reset"), 12, false, kGrey,
            Qt::AlignLeft | Qt::AlignVCenter);
    s.label(QPointF(xTx, yNode - 10), QStringLiteral("Transfer"), 12, false, kGrey,
            Qt::AlignHCenter | Qt::AlignBottom);

    s.wire({QPointF(xDrv, yNode + 20), QPointF(xDrv, ySel), QPointF(xSel - 20, ySel)});
    s.tft(QPointF(xSel, ySel), 180, 40);
    s.terminal(QPointF(xSel, ySel - 45));
    s.label(QPointF(xSel, ySel - 54), QStringLiteral("Von/Voff"), 15, true, kBrown,
            Qt::AlignHCenter | Qt::AlignBottom);
    s.label(QPointF(xSel, ySel + 6), QStringLiteral("Select"), 12, false, kGrey,
            Qt::AlignHCenter | Qt::AlignTop);
    s.wire({QPointF(xSel + 20, ySel), QPointF(xRead, ySel)});

    s.wire({QPointF(xRead, 48), QPointF(xRead, 236)});
    s.dot(QPointF(xRead, ySel));
    s.label(QPointF(xRead, 42), QStringLiteral("Readout"), 15, true, kBrown,
            Qt::AlignHCenter | Qt::AlignBottom);
    QPolygonF head;
    head << QPointF(xRead, 240) << QPointF(xRead - 6, 228) << QPointF(xRead + 6, 228);
    p.setPen(Qt::NoPen);
    p.setBrush(kWire);
    p.drawPolygon(head);

    p.end();
    save(img, "v2.png");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    gOutDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(gOutDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    drawSplash();
    drawLamp("tip_running.png", QColor(0xB8, 0xF5, 0xA8), QColor(0x3F, 0xC0, 0x4F),
             QColor(0x1F, 0x7A, 0x2C), true);
    drawLamp("tip_stop.png", QColor(0xE6, 0xE6, 0xE6), QColor(0xA8, 0xA8, 0xA8),
             QColor(0x6E, 0x6E, 0x6E), false);
    drawEye("password_on.png", true);
    drawEye("password_off.png", false);
    drawClose();
    drawArrow("down_arrow.png", true);
    drawArrow("up_arrow.png", false);
    drawCheckbox("checkbox.png", false);
    drawCheckbox("checkbox-checked.png", true);
    drawFolder();
    drawHelp("wenhao.png", false);
    drawHelp("wenhao_press.png", true);
    drawKnob();
    drawRotate("rotate.png", kGrey);
    drawRotate("rotate__p.png", kBrown);
    drawMirror("mirror.png", kGrey);
    drawMirror("mirror_p.png", kBrown);
    drawDiagram1();
    drawDiagram2();
    return gOk ? 0 : 1;
}
