#include "app/gui/window/Icons.h"

#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QtMath>

#include <functional>
#include <map>

namespace {

// Every icon is drawn on a 16 x 16 grid; the engine scales the grid to the size asked for.
using Drawing = std::function<void(QPainter&)>;

// --- palette shared by all icons -----------------------------------------------------------------
const QColor kGoldLight(0xF9, 0xD8, 0x62);
const QColor kGoldDark(0xD6, 0x93, 0x1C);
const QColor kGoldLine(0x86, 0x56, 0x08);
const QColor kGreyLight(0xDC, 0xDC, 0xDC);
const QColor kGreyDark(0x9C, 0x9C, 0x9C);
const QColor kGreyLine(0x5C, 0x5C, 0x5C);
const QColor kRed(0xD4, 0x2A, 0x1E);
const QColor kGreen(0x2E, 0x9A, 0x3C);
const QColor kBlueLight(0x66, 0xA8, 0xEE);
const QColor kBlueDark(0x2B, 0x6C, 0xC4);
const QColor kBlueLine(0x1C, 0x4A, 0x8E);
const QColor kFolderLight(0xFC, 0xD9, 0x6E);
const QColor kFolderDark(0xEE, 0xB4, 0x3A);
const QColor kFolderBack(0xE0, 0xA4, 0x34);
const QColor kFolderLine(0x9A, 0x66, 0x10);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kPaperShade(0xE4, 0xE4, 0xE4);
const QColor kPaperLine(0x70, 0x70, 0x70);
const QColor kInk(0x3C, 0x3C, 0x3C);

QPen line(const QColor& c, qreal w = 1.0)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& a, const QColor& b)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QLinearGradient diagonal(const QPointF& from, const QPointF& to, const QColor& a, const QColor& b)
{
    QLinearGradient g(from, to);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

void shape(QPainter& p, const QPainterPath& path, const QBrush& fill, const QColor& outline, qreal width = 1.0)
{
    p.setPen(line(outline, width));
    p.setBrush(fill);
    p.drawPath(path);
}

QPainterPath polygonPath(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// --- parts ------------------------------------------------------------------------------------------

// A key lying from lower left (bow) to upper right (bit), leaving the upper-left corner free for a
// badge and the lower-right corner for a magnifier.
void key(QPainter& p, bool grey, qreal scale = 1.0, const QPointF& at = QPointF(5.0, 11.0))
{
    QPainterPath local;
    local.setFillRule(Qt::WindingFill);
    local.addEllipse(QPointF(0, 0), 3.3, 3.3);
    local.addRect(QRectF(2.4, -1.05, 8.5, 2.1));
    local.addRect(QRectF(7.1, 0.5, 1.5, 2.8));
    local.addRect(QRectF(9.4, 0.5, 1.5, 2.3));
    local = local.simplified();
    QPainterPath hole;
    hole.addEllipse(QPointF(-0.9, 0), 1.15, 1.15);
    local = local.subtracted(hole);

    QTransform t;
    t.translate(at.x(), at.y());
    t.rotate(-45);
    t.scale(scale, scale);
    const QPainterPath path = t.map(local);
    const QColor light = grey ? kGreyLight : kGoldLight;
    const QColor dark = grey ? kGreyDark : kGoldDark;
    shape(p, path, diagonal(QPointF(2, 2), QPointF(13, 14), light, dark), grey ? kGreyLine : kGoldLine, 0.9);
    // A glint on the bow.
    p.setPen(line(QColor(255, 255, 255, 170), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(at.x() - 2.4 * scale, at.y() - 2.4 * scale, 4.8 * scale, 4.8 * scale), 100 * 16, 70 * 16);
}

// A plus badge with a white halo so it reads on any background.
void plus(QPainter& p, const QPointF& c, const QColor& colour, qreal arm = 3.0, qreal thick = 2.0)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRect(QRectF(c.x() - arm, c.y() - thick / 2, 2 * arm, thick));
    path.addRect(QRectF(c.x() - thick / 2, c.y() - arm, thick, 2 * arm));
    path = path.simplified();
    p.setPen(line(Qt::white, 1.4));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

void magnifier(QPainter& p, const QPointF& c, qreal r, qreal handle, qreal ringWidth)
{
    const qreal d = r / qSqrt(2.0);
    p.setPen(line(kInk, ringWidth * 1.5));
    p.drawLine(QPointF(c.x() + d, c.y() + d), QPointF(c.x() + d + handle, c.y() + d + handle));
    QRadialGradient glass(c - QPointF(r / 3, r / 3), r * 1.3);
    glass.setColorAt(0, QColor(0xF4, 0xFA, 0xFF));
    glass.setColorAt(1, QColor(0xB8, 0xD8, 0xF6));
    p.setPen(line(kBlueLine, ringWidth));
    p.setBrush(glass);
    p.drawEllipse(c, r, r);
}

void folderBack(QPainter& p)
{
    shape(p, polygonPath({{1.5, 2.5}, {6.0, 2.5}, {7.5, 4.0}, {14.5, 4.0}, {14.5, 13.5}, {1.5, 13.5}}), kFolderBack,
          kFolderLine);
}

void folderClosed(QPainter& p)
{
    folderBack(p);
    QPainterPath front;
    front.addRect(QRectF(1.5, 5.5, 13.0, 8.0));
    shape(p, front, vertical(5.5, 13.5, kFolderLight, kFolderDark), kFolderLine);
    p.setPen(line(QColor(255, 255, 255, 150), 0.8));
    p.drawLine(QPointF(2.5, 6.6), QPointF(13.5, 6.6));
}

void folderOpen(QPainter& p)
{
    folderBack(p);
    QPainterPath sheet;
    sheet.addRect(QRectF(3.5, 4.8, 9.0, 6.0));
    shape(p, sheet, kPaper, kPaperLine, 0.7);
    shape(p, polygonPath({{4.0, 7.0}, {15.5, 7.0}, {13.0, 13.5}, {1.5, 13.5}}),
          vertical(7, 13.5, kFolderLight, kFolderDark), kFolderLine);
}

QPainterPath pagePath(const QRectF& r, qreal fold)
{
    return polygonPath(
        {r.topLeft(), {r.right() - fold, r.top()}, {r.right(), r.top() + fold}, r.bottomRight(), r.bottomLeft()});
}

void page(QPainter& p, const QRectF& r, qreal fold = 3.0, int lines = 0)
{
    shape(p, pagePath(r, fold), vertical(r.top(), r.bottom(), kPaper, QColor(0xF0, 0xF0, 0xF0)), kPaperLine);
    shape(p,
          polygonPath({{r.right() - fold, r.top()}, {r.right() - fold, r.top() + fold}, {r.right(), r.top() + fold}}),
          kPaperShade, kPaperLine, 0.8);
    p.setPen(line(QColor(0xA8, 0xA8, 0xA8), 0.8));
    for (int i = 0; i < lines; ++i) {
        const qreal y = r.top() + fold + 2.0 + i * 2.0;
        if (y < r.bottom() - 1.0)
            p.drawLine(QPointF(r.left() + 2.0, y), QPointF(r.right() - 2.0, y));
    }
}

void globe(QPainter& p, const QPointF& c, qreal r)
{
    QRadialGradient sea(c - QPointF(r / 2.5, r / 2.5), r * 1.6);
    sea.setColorAt(0, kBlueLight);
    sea.setColorAt(1, kBlueDark);
    p.setPen(line(kBlueLine, 1.0));
    p.setBrush(sea);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(line(QColor(255, 255, 255, 190), 0.75));
    p.drawEllipse(c, r * 0.45, r);
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
    const qreal lat = r * 0.55;
    const qreal half = qSqrt(r * r - lat * lat);
    p.drawLine(QPointF(c.x() - half, c.y() - lat), QPointF(c.x() + half, c.y() - lat));
    p.drawLine(QPointF(c.x() - half, c.y() + lat), QPointF(c.x() + half, c.y() + lat));
}

void star(QPainter& p, const QPointF& c, qreal outer, qreal inner, int points, const QColor& fill, const QColor& edge)
{
    QPolygonF poly;
    for (int i = 0; i < points * 2; ++i) {
        const qreal r = (i % 2) ? inner : outer;
        const qreal a = -M_PI / 2 + i * M_PI / points;
        poly << QPointF(c.x() + r * qCos(a), c.y() + r * qSin(a));
    }
    p.setPen(line(edge, 0.7));
    p.setBrush(fill);
    p.drawPolygon(poly);
}

// A thick arrow from `from` to `to` with a triangular head.
void arrow(QPainter& p, const QPointF& from, const QPointF& to, const QColor& colour, qreal width = 1.8,
           qreal head = 3.2)
{
    const QLineF l(from, to);
    const qreal len = l.length();
    if (len <= head)
        return;
    const QPointF unit = (to - from) / len;
    const QPointF normal(-unit.y(), unit.x());
    const QPointF base = to - unit * head;
    p.setPen(line(colour, width));
    p.drawLine(from, base + unit * 0.3);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({to, base + normal * head * 0.75, base - normal * head * 0.75}));
}

void triangle(QPainter& p, bool up)
{
    p.setPen(line(kInk, 0.8));
    p.setBrush(kInk);
    if (up)
        p.drawPolygon(QPolygonF({QPointF(3, 10.5), QPointF(13, 10.5), QPointF(8, 5)}));
    else
        p.drawPolygon(QPolygonF({QPointF(3, 5.5), QPointF(13, 5.5), QPointF(8, 11)}));
}

void floppy(QPainter& p, const QRectF& r)
{
    QPainterPath body;
    body.addRoundedRect(r, 1.2, 1.2);
    shape(p, body, vertical(r.top(), r.bottom(), kBlueLight, kBlueDark), kBlueLine);
    const qreal w = r.width();
    const qreal h = r.height();
    QPainterPath shutter;
    shutter.addRect(QRectF(r.left() + w * 0.22, r.top() + 0.5, w * 0.56, h * 0.33));
    shape(p, shutter, QColor(0xE8, 0xE8, 0xE8), kBlueLine, 0.7);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlueLine);
    p.drawRect(QRectF(r.left() + w * 0.58, r.top() + 1.2, w * 0.12, h * 0.22));
    QPainterPath label;
    label.addRect(QRectF(r.left() + w * 0.15, r.top() + h * 0.55, w * 0.7, h * 0.45 - 0.5));
    shape(p, label, kPaper, kBlueLine, 0.7);
    p.setPen(line(QColor(0xB0, 0xB0, 0xB0), 0.7));
    p.drawLine(QPointF(r.left() + w * 0.25, r.top() + h * 0.72), QPointF(r.right() - w * 0.25, r.top() + h * 0.72));
}

void padlock(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(line(kGreyLine, 2.4));
    p.drawArc(QRectF(4.6, 1.8, 6.8, 8.0), 0, 180 * 16);
    p.drawLine(QPointF(4.6, 5.8), QPointF(4.6, 7.5));
    p.drawLine(QPointF(11.4, 5.8), QPointF(11.4, 7.5));
    p.setPen(line(kGreyLight, 0.9));
    p.drawArc(QRectF(4.6, 1.8, 6.8, 8.0), 20 * 16, 140 * 16);
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 7.0, 11.0, 7.5), 1.3, 1.3);
    shape(p, body, vertical(7, 14.5, kGoldLight, kGoldDark), kGoldLine);
    p.setPen(Qt::NoPen);
    p.setBrush(kGoldLine);
    p.drawEllipse(QPointF(8, 10.0), 1.2, 1.2);
    p.drawRect(QRectF(7.45, 10.2, 1.1, 2.6));
}

void gear(QPainter& p, const QPointF& c, qreal r)
{
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(i * 45.0);
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.25, -r - 1.6, 2.5, 3.0));
        teeth.addPath(t.map(tooth));
    }
    QPainterPath wheel;
    wheel.addEllipse(c, r, r);
    QPainterPath path = wheel.united(teeth).simplified();
    QPainterPath hole;
    hole.addEllipse(c, r * 0.42, r * 0.42);
    path = path.subtracted(hole);
    shape(p, path, diagonal(QPointF(2, 2), QPointF(14, 14), QColor(0xC4, 0xC9, 0xD2), QColor(0x74, 0x7A, 0x86)),
          QColor(0x44, 0x48, 0x50), 0.9);
}

void infoDisc(QPainter& p, const QPointF& c, qreal r)
{
    QRadialGradient g(c - QPointF(r / 2.5, r / 2.5), r * 1.6);
    g.setColorAt(0, kBlueLight);
    g.setColorAt(1, kBlueDark);
    p.setPen(line(kBlueLine, 1.0));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const qreal s = r / 6.5;
    p.drawEllipse(QPointF(c.x(), c.y() - 3.3 * s), 1.15 * s, 1.15 * s);
    p.drawRoundedRect(QRectF(c.x() - 1.0 * s, c.y() - 1.3 * s, 2.0 * s, 5.4 * s), 0.4, 0.4);
}

void circularArrows(QPainter& p, const QColor& colour)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(line(colour, 1.8));
    const QRectF ring(3.0, 3.0, 10.0, 10.0);
    p.drawArc(ring, 30 * 16, 130 * 16);
    p.drawArc(ring, 210 * 16, 130 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({QPointF(13.8, 2.6), QPointF(14.2, 7.6), QPointF(9.6, 5.6)}));
    p.drawPolygon(QPolygonF({QPointF(2.2, 13.4), QPointF(1.8, 8.4), QPointF(6.4, 10.4)}));
}

// --- the icons ---------------------------------------------------------------------------------------

const std::map<QString, Drawing>& drawings()
{
    static const std::map<QString, Drawing> all = {
        {QStringLiteral("key"), [](QPainter& p) { key(p, false); }},
        {QStringLiteral("key-notes"),
         [](QPainter& p) {
             key(p, false);
             plus(p, QPointF(4.0, 4.0), kRed);
         }},
        {QStringLiteral("key-ftp"), [](QPainter& p) { key(p, true); }},
        {QStringLiteral("key-ftp-notes"),
         [](QPainter& p) {
             key(p, true);
             plus(p, QPointF(4.0, 4.0), kRed);
         }},
        {QStringLiteral("key-search"),
         [](QPainter& p) {
             key(p, false, 0.9, QPointF(4.6, 10.2));
             magnifier(p, QPointF(11.2, 11.2), 2.7, 2.2, 1.1);
         }},
        {QStringLiteral("key-search-notes"),
         [](QPainter& p) {
             key(p, false, 0.9, QPointF(4.6, 10.2));
             magnifier(p, QPointF(11.2, 11.2), 2.7, 2.2, 1.1);
             plus(p, QPointF(4.0, 4.0), kRed);
         }},
        {QStringLiteral("folder"), folderClosed},
        {QStringLiteral("folder-open"), folderOpen},
        {QStringLiteral("new"),
         [](QPainter& p) {
             page(p, QRectF(3.0, 1.5, 10.0, 13.0), 3.5, 4);
             star(p, QPointF(4.3, 4.3), 3.8, 1.3, 4, kGoldDark, kGoldLine);
         }},
        {QStringLiteral("open"), [](QPainter& p) { folderOpen(p); }},
        {QStringLiteral("open-ftp"),
         [](QPainter& p) {
             folderOpen(p);
             globe(p, QPointF(11.8, 11.8), 3.6);
         }},
        {QStringLiteral("save"), [](QPainter& p) { floppy(p, QRectF(1.5, 1.5, 13.0, 13.0)); }},
        {QStringLiteral("save-ftp"),
         [](QPainter& p) {
             floppy(p, QRectF(1.0, 1.0, 11.5, 11.5));
             globe(p, QPointF(11.8, 11.8), 3.6);
         }},
        {QStringLiteral("merge"),
         [](QPainter& p) {
             page(p, QRectF(1.5, 1.5, 8.0, 10.0), 2.5, 2);
             page(p, QRectF(6.5, 4.5, 8.0, 10.0), 2.5, 3);
             arrow(p, QPointF(3.0, 13.8), QPointF(9.8, 10.0), kGreen, 1.7, 3.0);
         }},
        {QStringLiteral("meta-password"), padlock},
        {QStringLiteral("search"), [](QPainter& p) { magnifier(p, QPointF(6.5, 6.5), 4.6, 4.2, 1.6); }},
        {QStringLiteral("generate"),
         [](QPainter& p) {
             p.setPen(line(kInk, 2.2));
             p.drawLine(QPointF(2.2, 13.8), QPointF(9.0, 7.0));
             p.setPen(line(Qt::white, 1.0));
             p.drawLine(QPointF(7.6, 8.4), QPointF(8.8, 7.2));
             star(p, QPointF(11.3, 4.7), 3.9, 1.6, 5, kGoldLight, kGoldLine);
             star(p, QPointF(4.0, 3.5), 1.8, 0.6, 4, kGoldLight, kGoldLine);
             star(p, QPointF(13.6, 11.2), 1.6, 0.55, 4, kGoldLight, kGoldLine);
         }},
        {QStringLiteral("hide-passwords"),
         [](QPainter& p) {
             QPainterPath eye;
             eye.moveTo(0.8, 8.0);
             eye.quadTo(8.0, 0.8, 15.2, 8.0);
             eye.quadTo(8.0, 15.2, 0.8, 8.0);
             shape(p, eye, kPaper, kInk, 1.0);
             p.setPen(line(kBlueLine, 0.7));
             p.setBrush(vertical(5.4, 10.6, kBlueLight, kBlueDark));
             p.drawEllipse(QPointF(8, 8), 2.6, 2.6);
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(0x10, 0x10, 0x10));
             p.drawEllipse(QPointF(8, 8), 1.1, 1.1);
             p.setPen(line(Qt::white, 3.0));
             p.drawLine(QPointF(2.8, 13.6), QPointF(13.2, 2.4));
             p.setPen(line(kRed, 1.7));
             p.drawLine(QPointF(2.8, 13.6), QPointF(13.2, 2.4));
         }},
        {QStringLiteral("new-group"),
         [](QPainter& p) {
             folderClosed(p);
             plus(p, QPointF(12.0, 12.0), kGreen);
         }},
        {QStringLiteral("new-entry"),
         [](QPainter& p) {
             key(p, false);
             plus(p, QPointF(4.0, 4.0), kGreen);
         }},
        {QStringLiteral("rename"),
         [](QPainter& p) {
             QTransform t;
             t.translate(3.0, 13.0);
             t.rotate(-45);
             QPainterPath body;
             body.addRect(QRectF(2.2, -1.5, 9.0, 3.0));
             shape(p, t.map(body), vertical(-1.5, 1.5, kGoldLight, kGoldDark), kGoldLine, 0.8);
             QPainterPath tip = polygonPath({{0.0, 0.0}, {2.2, -1.5}, {2.2, 1.5}});
             shape(p, t.map(tip), QColor(0xF2, 0xDC, 0xB8), kInk, 0.8);
             QPainterPath cap;
             cap.addRect(QRectF(11.2, -1.5, 1.8, 3.0));
             shape(p, t.map(cap), kRed, QColor(0x80, 0x14, 0x0E), 0.8);
         }},
        {QStringLiteral("delete"),
         [](QPainter& p) {
             p.setPen(line(QColor(0x8E, 0x14, 0x0C), 3.6));
             p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
             p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
             p.setPen(line(kRed, 2.4));
             p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
             p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
         }},
        {QStringLiteral("cut"),
         [](QPainter& p) {
             p.setPen(line(kGreyLine, 1.3));
             p.drawLine(QPointF(4.0, 1.5), QPointF(10.2, 10.6));
             p.drawLine(QPointF(12.0, 1.5), QPointF(5.8, 10.6));
             p.setPen(line(kRed, 1.5));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(4.6, 12.4), 2.2, 2.2);
             p.drawEllipse(QPointF(11.4, 12.4), 2.2, 2.2);
         }},
        {QStringLiteral("copy"),
         [](QPainter& p) {
             page(p, QRectF(1.5, 1.5, 8.5, 10.5), 2.5, 3);
             page(p, QRectF(6.0, 4.5, 8.5, 10.5), 2.5, 3);
         }},
        {QStringLiteral("paste"),
         [](QPainter& p) {
             QPainterPath board;
             board.addRoundedRect(QRectF(2.0, 2.5, 10.0, 12.0), 1.0, 1.0);
             shape(p, board, vertical(2.5, 14.5, QColor(0xC8, 0x96, 0x5A), QColor(0x9C, 0x6B, 0x34)),
                   QColor(0x5E, 0x3C, 0x16));
             QPainterPath clip;
             clip.addRoundedRect(QRectF(4.5, 1.2, 5.0, 2.6), 0.8, 0.8);
             shape(p, clip, kGreyLight, kGreyLine, 0.8);
             page(p, QRectF(7.0, 6.0, 7.5, 9.0), 2.2, 3);
         }},
        {QStringLiteral("open-url"),
         [](QPainter& p) {
             globe(p, QPointF(7.0, 8.5), 6.0);
             arrow(p, QPointF(10.0, 6.0), QPointF(15.2, 0.8), kGreen, 1.6, 3.0);
         }},
        {QStringLiteral("sync"), [](QPainter& p) { circularArrows(p, kBlueDark); }},
        {QStringLiteral("file-info"),
         [](QPainter& p) {
             page(p, QRectF(1.5, 1.0, 10.0, 13.0), 3.0, 4);
             infoDisc(p, QPointF(11.5, 11.5), 4.0);
         }},
        {QStringLiteral("options"), [](QPainter& p) { gear(p, QPointF(8, 8), 4.6); }},
        {QStringLiteral("update"),
         [](QPainter& p) {
             globe(p, QPointF(7.0, 7.0), 5.8);
             arrow(p, QPointF(12.0, 7.0), QPointF(12.0, 15.2), kGreen, 2.0, 3.4);
         }},
        {QStringLiteral("support"),
         [](QPainter& p) {
             QPainterPath envelope;
             envelope.addRect(QRectF(1.5, 3.5, 13.0, 9.0));
             shape(p, envelope, vertical(3.5, 12.5, kPaper, QColor(0xEA, 0xEA, 0xEA)), kPaperLine);
             p.setPen(line(kPaperLine, 0.9));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(QPolygonF({QPointF(1.8, 3.8), QPointF(8.0, 9.0), QPointF(14.2, 3.8)}));
         }},
        {QStringLiteral("about"), [](QPainter& p) { infoDisc(p, QPointF(8, 8), 6.5); }},
        {QStringLiteral("exit"),
         [](QPainter& p) {
             QPainterPath door;
             door.addRect(QRectF(2.0, 1.5, 8.0, 13.0));
             shape(p, door, vertical(1.5, 14.5, QColor(0xB9, 0x84, 0x4C), QColor(0x8A, 0x57, 0x26)),
                   QColor(0x55, 0x33, 0x12));
             p.setPen(Qt::NoPen);
             p.setBrush(kGoldLight);
             p.drawEllipse(QPointF(8.2, 8.3), 0.8, 0.8);
             arrow(p, QPointF(8.5, 8.0), QPointF(15.5, 8.0), kRed, 1.8, 3.2);
         }},
        {QStringLiteral("arrow-up"), [](QPainter& p) { triangle(p, true); }},
        {QStringLiteral("arrow-down"), [](QPainter& p) { triangle(p, false); }},
        {QStringLiteral("tray"),
         [](QPainter& p) {
             QPainterPath window;
             window.addRect(QRectF(1.5, 1.5, 10.0, 8.0));
             shape(p, window, kPaper, kInk, 1.0);
             p.setPen(Qt::NoPen);
             p.setBrush(kBlueDark);
             p.drawRect(QRectF(1.5, 1.5, 10.0, 2.2));
             arrow(p, QPointF(8.0, 6.0), QPointF(13.0, 11.0), kGreen, 1.6, 3.0);
             p.setPen(line(kInk, 0.9));
             p.setBrush(kGreyLight);
             p.drawRect(QRectF(1.5, 12.5, 13.0, 2.0));
         }},
        {QStringLiteral("tresorin"),
         [](QPainter& p) {
             QPainterPath tile;
             tile.addRoundedRect(QRectF(0.8, 0.8, 14.4, 14.4), 3.0, 3.0);
             shape(p, tile, vertical(0.8, 15.2, QColor(0x3A, 0x5F, 0x9E), QColor(0x1B, 0x31, 0x5C)),
                   QColor(0x12, 0x22, 0x44), 0.8);
             key(p, false, 0.95, QPointF(5.2, 10.8));
         }},
    };
    return all;
}

QImage disabledLook(const QImage& source)
{
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int g = qGray(row[x]);
            const int lighter = 128 + g / 2;
            row[x] = qRgba(lighter, lighter, lighter, qAlpha(row[x]) * 45 / 100);
        }
    }
    return img;
}

class PaintedIconEngine : public QIconEngine
{
public:
    explicit PaintedIconEngine(const QString& name) : m_name(name) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        QPixmap pm = pixmap(QSize(side, side) * dpr, mode, state);
        pm.setDevicePixelRatio(dpr);
        const QRect target(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side,
                           side);
        painter->drawPixmap(target, pm);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        if (side <= 0)
            return QPixmap();
        const QString cacheKey = m_name + QLatin1Char('/') + QString::number(side) + QLatin1Char('/') +
                                 QString::number(mode == QIcon::Disabled ? 1 : 0);
        static QHash<QString, QPixmap> cache;
        auto it = cache.constFind(cacheKey);
        if (it != cache.constEnd())
            return *it;
        QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.scale(side / 16.0, side / 16.0);
            const auto found = drawings().find(m_name);
            if (found != drawings().end())
                found->second(p);
        }
        if (mode == QIcon::Disabled)
            img = disabledLook(img);
        QPixmap pm = QPixmap::fromImage(img);
        cache.insert(cacheKey, pm);
        return pm;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48)};
    }

    QString iconName() override { return m_name; }
    QString key() const override { return QStringLiteral("TresorinPaintedIcon"); }
    QIconEngine* clone() const override { return new PaintedIconEngine(m_name); }

private:
    QString m_name;
};

} // namespace

QIcon tresorinIcon(const QString& name)
{
    static QHash<QString, QIcon> icons;
    auto it = icons.constFind(name);
    if (it != icons.constEnd())
        return *it;
    if (drawings().find(name) == drawings().end())
        return QIcon();
    const QIcon icon(new PaintedIconEngine(name));
    icons.insert(name, icon);
    return icon;
}

QStringList tresorinIconNames()
{
    QStringList names;
    for (const auto& [name, drawing] : drawings())
        names << name;
    return names;
}
