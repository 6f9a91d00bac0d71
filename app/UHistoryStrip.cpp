#include "app/UHistoryStrip.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Background(234, 230, 221);
const QColor Magenta(255, 0, 255);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

enum Shape { Dot, Empty, LeftHalf, RightHalf, Diamond, Club, Spade, Paragraph, Bar, Plus };

QImage Picture(Shape shape, const QColor &colour)
{
    QImage image(HistoryPictureSize, HistoryPictureSize, QImage::Format_RGB32);
    image.fill(shape == Dot ? QColor(Qt::white) : Background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    switch (shape) {
    case Dot:
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(8, 8), 1.5, 1.5);
        break;
    case Empty:
        break;
    case LeftHalf:
        p.drawPie(QRectF(4, 2, 12, 12), 90 * 16, 180 * 16);
        break;
    case RightHalf:
        p.drawPie(QRectF(0, 2, 12, 12), -90 * 16, 180 * 16);
        break;
    case Diamond:
        p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(14, 8), QPointF(8, 14.5), QPointF(2, 8)}));
        break;
    case Club:
        p.drawEllipse(QPointF(8, 4.5), 3, 3);
        p.drawEllipse(QPointF(4.5, 9), 3, 3);
        p.drawEllipse(QPointF(11.5, 9), 3, 3);
        p.drawPolygon(QPolygonF({QPointF(8, 7), QPointF(10.5, 14.5), QPointF(5.5, 14.5)}));
        break;
    case Spade: {
        QPainterPath path;
        path.moveTo(8, 1.5);
        path.cubicTo(11, 5, 14.5, 6.5, 14.5, 9.5);
        path.cubicTo(14.5, 12, 11, 13, 8.5, 10.5);
        path.lineTo(10.5, 14.5);
        path.lineTo(5.5, 14.5);
        path.lineTo(7.5, 10.5);
        path.cubicTo(5, 13, 1.5, 12, 1.5, 9.5);
        path.cubicTo(1.5, 6.5, 5, 5, 8, 1.5);
        p.drawPath(path);
        break;
    }
    case Paragraph: {
        // "¶": a filled bowl and two stems.
        p.drawEllipse(QRectF(3, 2, 6, 7));
        p.drawRect(QRectF(6, 2, 2, 12));
        p.drawRect(QRectF(10, 2, 2, 12));
        p.drawRect(QRectF(6, 2, 7, 1.5));
        break;
    }
    case Bar:
        p.drawRect(QRectF(2, 6.5, 12, 3));
        break;
    case Plus:
        p.drawRect(QRectF(2, 6.5, 12, 3));
        p.drawRect(QRectF(6.5, 2, 3, 12));
        break;
    }
    return image;
}

QVector<QImage> MakePictures()
{
    return {Picture(Dot, Qt::black),        Picture(Empty, Background),   Picture(LeftHalf, Magenta),
            Picture(RightHalf, Magenta),    Picture(Diamond, Magenta),    Picture(Club, Magenta),
            Picture(Spade, Magenta),        Picture(Paragraph, Magenta),  Picture(LeftHalf, Blue),
            Picture(RightHalf, Blue),       Picture(Diamond, Blue),       Picture(Club, Blue),
            Picture(Spade, Blue),           Picture(Bar, Magenta),        Picture(Bar, Blue),
            Picture(Bar, Red),              Picture(Plus, Red)};
}

} // namespace

QColor HistoryBackground()
{
    return Background;
}

const QVector<QImage> &HistoryPictures()
{
    static const QVector<QImage> pictures = MakePictures();
    return pictures;
}

THistoryStrip::THistoryStrip(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize THistoryStrip::sizeHint() const
{
    return QSize(650, HistoryPictureSize);
}

void THistoryStrip::resizeEvent(QResizeEvent *)
{
    if (m_image.size() == size())
        return;
    QImage image(size(), QImage::Format_RGB32);
    // The empty strip looks like a row of empty cells, margins included.
    image.fill(Background);
    if (!m_image.isNull()) {
        QPainter p(&image);
        p.drawImage(0, 0, m_image);
    }
    m_image = image;
}

void THistoryStrip::PaintCell(int x, int picture)
{
    if (m_image.isNull() || picture < 0 || picture >= HistoryPictures().size())
        return;
    QPainter p(&m_image);
    p.drawImage(x, 0, HistoryPictures()[picture]);
}

void THistoryStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}
