// Paints the tool-bar icons of Norvaplex (32 x 32 PNG) from simple vector
// shapes, so they can be redrawn or restyled from source.
//   g++ -std=c++20 -fPIC IconPainter.cpp $(pkg-config --cflags --libs Qt6Gui) -o icon-painter
//   QT_QPA_PLATFORM=offscreen ./icon-painter ../images   (from resources/icon-painter/)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <map>

namespace {

const QColor kInk(40, 48, 60);
const QColor kChip(58, 66, 80);
const QColor kPin(190, 196, 205);
const QColor kBlue(30, 120, 200);
const QColor kGreen(34, 150, 70);
const QColor kRed(205, 50, 45);
const QColor kAmber(235, 160, 20);
const QColor kPaper(250, 250, 245);

// A chip body with four pins on each side; most chip actions draw on top of it.
void drawChip(QPainter &p, QRectF body = QRectF(7, 6, 18, 20))
{
    p.setPen(Qt::NoPen);
    p.setBrush(kPin);
    for (int i = 0; i < 4; ++i) {
        const qreal y = body.top() + 3 + i * 4.5;
        p.drawRect(QRectF(body.left() - 4, y, 4, 2));
        p.drawRect(QRectF(body.right(), y, 4, 2));
    }
    p.setBrush(kChip);
    p.drawRoundedRect(body, 2, 2);
    p.setBrush(kPin);
    p.drawEllipse(QPointF(body.left() + 4, body.top() + 4), 1.6, 1.6);
}

void drawArrow(QPainter &p, QPointF from, QPointF to, const QColor &c, qreal width = 3.2)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF wing1 = line, wing2 = line;
    wing1.setLength(7);
    wing2.setLength(7);
    wing1.setAngle(line.angle() + 35);
    wing2.setAngle(line.angle() - 35);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

void drawBadge(QPainter &p, const QColor &c)
{
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(c);
    p.drawEllipse(QRectF(16, 16, 15, 15));
}

void drawDocument(QPainter &p, QRectF r, const QColor &fill = kPaper)
{
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - 6, r.top());
    path.lineTo(r.right(), r.top() + 6);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(fill);
    p.drawPath(path);
}

using Painter = std::function<void(QPainter &)>;

const std::map<QString, Painter> &icons()
{
    static const std::map<QString, Painter> table = {
        {"usbprog", [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             p.drawRoundedRect(QRectF(2, 9, 20, 14), 3, 3);
             p.setBrush(kPin);
             p.drawRect(QRectF(22, 12, 8, 8));
             p.setBrush(kChip);
             p.drawRect(QRectF(24, 14, 4, 4));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(6, 13, 8, 6));
         }},
        {"usbicon", [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kPin);
             p.drawRect(QRectF(9, 2, 13, 11));
             p.setBrush(kChip);
             p.drawRect(QRectF(12, 5, 3, 3));
             p.drawRect(QRectF(17, 5, 3, 3));
             p.setBrush(kBlue);
             p.drawRoundedRect(QRectF(4, 13, 23, 36), 4, 4);
             p.setBrush(Qt::white);
             p.drawRoundedRect(QRectF(9, 20, 13, 13), 1.5, 1.5);
             p.setBrush(kChip);
             p.drawRect(QRectF(11.5, 22.5, 8, 8));
             p.setBrush(kGreen);
             p.drawEllipse(QPointF(15.5, 42), 2.5, 2.5);
         }},
        {"empty", [](QPainter &p) {
             drawDocument(p, QRectF(6, 3, 20, 26));
             p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(11, 12), QPointF(21, 22));
             p.drawLine(QPointF(21, 12), QPointF(11, 22));
         }},
        {"open", [](QPainter &p) {
             p.setPen(QPen(kInk, 1.5));
             p.setBrush(kAmber.darker(115));
             p.drawRect(QRectF(3, 8, 24, 19));
             p.setBrush(kAmber);
             QPainterPath front;
             front.moveTo(3, 27);
             front.lineTo(8, 14);
             front.lineTo(30, 14);
             front.lineTo(27, 27);
             front.closeSubpath();
             p.drawPath(front);
         }},
        {"save", [](QPainter &p) {
             p.setPen(QPen(kInk, 1.5));
             p.setBrush(kBlue);
             p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
             p.setBrush(kPaper);
             p.drawRect(QRectF(9, 4, 14, 9));
             p.setBrush(kPin);
             p.drawRect(QRectF(8, 18, 16, 10));
         }},
        {"device", [](QPainter &p) {
             drawChip(p);
             p.setPen(QPen(Qt::white, 2));
             p.drawLine(QPointF(11, 14), QPointF(21, 14));
             p.drawLine(QPointF(11, 19), QPointF(18, 19));
         }},
        {"chipid", [](QPainter &p) {
             drawChip(p, QRectF(5, 4, 16, 18));
             drawBadge(p, kBlue);
             QFont f;
             f.setPixelSize(11);
             f.setBold(true);
             p.setFont(f);
             p.setPen(Qt::white);
             p.drawText(QRectF(16, 16, 15, 15), Qt::AlignCenter, "ID");
         }},
        {"chipread", [](QPainter &p) {
             drawChip(p, QRectF(5, 4, 16, 18));
             drawArrow(p, QPointF(24, 12), QPointF(24, 29), kGreen);
         }},
        {"verify", [](QPainter &p) {
             drawChip(p, QRectF(5, 4, 16, 18));
             drawBadge(p, kGreen);
             p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.drawPolyline(QPolygonF({QPointF(19.5, 23.5), QPointF(22.5, 26.5), QPointF(27.5, 20.5)}));
         }},
        {"blank", [](QPainter &p) {
             p.setPen(QPen(kInk, 1.5));
             p.setBrush(kPaper);
             p.drawRoundedRect(QRectF(6, 4, 18, 22), 2, 2);
             p.setPen(QPen(kPin, 1.5, Qt::DashLine));
             p.drawLine(QPointF(10, 10), QPointF(20, 10));
             p.drawLine(QPointF(10, 15), QPointF(20, 15));
             drawBadge(p, kBlue);
             p.setPen(QPen(Qt::white, 2));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QRectF(20, 20, 6.5, 6.5));
             p.drawLine(QPointF(26, 26), QPointF(29, 29));
         }},
        {"chiperase", [](QPainter &p) {
             drawChip(p, QRectF(5, 4, 16, 18));
             p.setPen(QPen(kInk, 1.2));
             p.setBrush(QColor(240, 120, 150));
             QPolygonF eraser({QPointF(16, 24), QPointF(24, 16), QPointF(31, 23), QPointF(23, 31)});
             p.drawPolygon(eraser);
             p.setBrush(Qt::white);
             p.drawPolygon(QPolygonF({QPointF(16, 24), QPointF(20, 20), QPointF(27, 27), QPointF(23, 31)}));
         }},
        {"chipwrite", [](QPainter &p) {
             drawChip(p, QRectF(5, 8, 16, 18));
             drawArrow(p, QPointF(25, 3), QPointF(25, 20), kRed);
         }},
        {"duplicate", [](QPainter &p) {
             drawChip(p, QRectF(5, 3, 12, 14));
             drawChip(p, QRectF(16, 15, 12, 14));
             drawArrow(p, QPointF(8, 21), QPointF(13, 26), kGreen, 2.4);
         }},
        {"stop", [](QPainter &p) {
             QPolygonF octagon;
             for (int i = 0; i < 8; ++i) {
                 QLineF ray(QPointF(16, 16), QPointF(30, 16));
                 ray.setAngle(22.5 + i * 45);
                 octagon << ray.p2();
             }
             p.setPen(QPen(Qt::white, 1.5));
             p.setBrush(kRed);
             p.drawPolygon(octagon);
             p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(11, 16), QPointF(21, 16));
         }},
        {"about", [](QPainter &p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             p.drawEllipse(QRectF(3, 3, 26, 26));
             p.setBrush(Qt::white);
             p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
             p.drawRoundedRect(QRectF(14, 13.5, 4, 11), 1.5, 1.5);
         }},
    };
    return table;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (const auto &[name, paint] : icons()) {
        // The about box shows a taller picture of the adapter itself.
        const QSize size = name == QLatin1String("usbicon") ? QSize(31, 51) : QSize(32, 32);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p);
        p.end();
        if (!image.save(outDir + "/" + name + ".png"))
            return 1;
    }
    return 0;
}
