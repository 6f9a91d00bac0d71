#include "app/UIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor Ink(0x30, 0x30, 0x38);
const QColor Blue(0x2a, 0x6f, 0xc9);
const QColor Green(0x2e, 0x9a, 0x48);
const QColor Amber(0xe0, 0x9a, 0x1c);
const QColor Red(0xc8, 0x3a, 0x32);
const QColor Paper(0xfb, 0xfb, 0xf7);

// Every picture is drawn on a 32 x 32 grid scaled to the target rectangle.
void DrawFolder(QPainter &p, bool arrowIn)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Amber);
    QPainterPath path;
    path.moveTo(3, 9);
    path.lineTo(12, 9);
    path.lineTo(14, 12);
    path.lineTo(29, 12);
    path.lineTo(29, 27);
    path.lineTo(3, 27);
    path.closeSubpath();
    p.drawPath(path);
    p.setPen(QPen(arrowIn ? Blue : Green, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (arrowIn) {
        p.drawLine(QPointF(16, 2), QPointF(16, 20));
        p.drawPolyline(QPolygonF({QPointF(11, 15), QPointF(16, 20), QPointF(21, 15)}));
    }
}

void DrawDisk(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Blue);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(Paper);
    p.drawRect(QRectF(9, 4, 14, 9));
    p.setBrush(QColor(0xdd, 0xdd, 0xdd));
    p.drawRect(QRectF(8, 18, 16, 10));
}

void DrawSheet(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRect(QRectF(6, 3, 20, 26));
    p.setPen(QPen(Ink, 1.5));
    for (int y = 9; y <= 24; y += 5)
        p.drawLine(QPointF(10, y), QPointF(22, y));
}

void DrawGrid(QPainter &p, const QColor &head)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setBrush(head);
    p.drawRect(QRectF(3, 5, 26, 6));
    p.setPen(QPen(Ink, 1));
    p.drawLine(QPointF(3, 16.5), QPointF(29, 16.5));
    p.drawLine(QPointF(3, 22), QPointF(29, 22));
    p.drawLine(QPointF(12, 5), QPointF(12, 27));
}

void DrawBarcode(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setBrush(Ink);
    const double bars[] = {5, 1.5, 7.5, 1, 9.5, 2.5, 13, 1, 15, 1.5, 17.5, 2.5, 21, 1, 23, 1.5, 25.5, 1};
    for (int i = 0; i < 18; i += 2)
        p.drawRect(QRectF(bars[i], 7, bars[i + 1], 15));
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3, 5, 26, 22));
}

void DrawBottle(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Green);
    QPainterPath path;
    path.moveTo(13, 3);
    path.lineTo(19, 3);
    path.lineTo(19, 10);
    path.cubicTo(23, 12, 23, 14, 23, 16);
    path.lineTo(23, 29);
    path.lineTo(9, 29);
    path.lineTo(9, 16);
    path.cubicTo(9, 14, 9, 12, 13, 10);
    path.closeSubpath();
    p.drawPath(path);
    p.setBrush(Paper);
    p.drawRect(QRectF(10.5, 17, 11, 7));
}

void DrawInfo(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Blue);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawEllipse(QRectF(14, 7, 4, 4));
    p.drawRoundedRect(QRectF(14, 13, 4, 12), 1, 1);
}

void DrawPlug(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(QColor(0x9a, 0x9a, 0xa4));
    // A nine-pin serial plug seen from the front.
    QPolygonF shell({QPointF(3, 9), QPointF(29, 9), QPointF(25, 23), QPointF(7, 23)});
    p.drawPolygon(shell);
    p.setBrush(Ink);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(8 + i * 4, 13.5), 1.2, 1.2);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(10 + i * 4, 18.5), 1.2, 1.2);
}

void DrawGear(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(QColor(0x8a, 0x8f, 0x99));
    QPainterPath gear;
    const QPointF c(16, 16);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45);
        p.drawRect(QRectF(-2.5, -14, 5, 6));
        p.restore();
    }
    p.drawEllipse(c, 10, 10);
    p.setBrush(Paper);
    p.drawEllipse(c, 4, 4);
}

void DrawRegister(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(QColor(0x55, 0x5a, 0x66));
    p.drawRect(QRectF(4, 14, 24, 14));
    p.setBrush(QColor(0x8c, 0xd6, 0x8c));
    p.drawRect(QRectF(7, 4, 18, 8));
    p.setPen(QPen(Ink, 1.4));
    p.drawLine(QPointF(10, 8), QPointF(22, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 4; ++k)
            p.drawRect(QRectF(7 + k * 5, 17 + r * 5, 3, 3));
    p.setBrush(Red);
    p.drawEllipse(QPointF(25, 8), 2, 2);
}

void DrawFrame(QPainter &p)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRect(QRectF(4, 4, 24, 24));
}

class TToolIconEngine : public QIconEngine {
public:
    explicit TToolIconEngine(QString name) : m_name(std::move(name)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 32.0, rect.height() / 32.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        if (m_name == u"wczytaj")
            DrawFolder(*painter, true);
        else if (m_name == u"zapisz")
            DrawDisk(*painter);
        else if (m_name == u"raporty")
            DrawSheet(*painter);
        else if (m_name == u"grupy")
            DrawGrid(*painter, Green);
        else if (m_name == u"kody")
            DrawBarcode(*painter);
        else if (m_name == u"kaucje")
            DrawBottle(*painter);
        else if (m_name == u"about")
            DrawInfo(*painter);
        else if (m_name == u"ustawienia")
            DrawPlug(*painter);
        else if (m_name == u"konfig")
            DrawGear(*painter);
        else if (m_name == u"pf")
            DrawRegister(*painter);
        else
            DrawFrame(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pm = pixmap(size * scale, mode, state);
        pm.setDevicePixelRatio(scale);
        return pm;
    }

    QIconEngine *clone() const override { return new TToolIconEngine(m_name); }
    QString key() const override { return QStringLiteral("TToolIconEngine"); }

private:
    QString m_name;
};

} // namespace

QIcon ToolIcon(const QString &name)
{
    return QIcon(new TToolIconEngine(name));
}
