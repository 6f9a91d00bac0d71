#pragma once
// The history strip of the progress window and its 17 pictures.
#include <QImage>
#include <QVector>
#include <QWidget>

inline constexpr int HistoryPictureSize = 16;

// The 17 pictures, 16 x 16 px each, in their index order.
const QVector<QImage> &HistoryPictures();
// The pictures' background; also the strip's where no picture is yet.
QColor HistoryBackground();

class THistoryStrip : public QWidget {
    Q_OBJECT
public:
    explicit THistoryStrip(QWidget *parent = nullptr);
    // Paints one picture into the strip image (no repaint yet).
    void PaintCell(int x, int picture);
    const QImage &Image() const { return m_image; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_image;
};
