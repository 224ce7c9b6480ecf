#pragma once

#include <QFrame>
#include <QImage>
#include <QRectF>

// A picture box: pictures are painted onto its surface, which keeps what was drawn until it is
// cleared, the way the register's photo boxes always behaved.
class PhotoBox : public QFrame
{
    Q_OBJECT
public:
    explicit PhotoBox(QWidget* parent = nullptr);

    // Draws the picture by FitPhoto over whatever the box shows.
    void drawFitted(const QImage& picture);
    void clear();

    bool isEmpty() const { return m_empty; }
    // The area the last picture was drawn into, in the box's inner coordinates.
    QRectF lastTarget() const { return m_lastTarget; }
    QSize innerSize() const;
    // The size a picture needs to be decoded at to draw it here at full sharpness.
    QSize decodeSize() const;
    const QImage& surface() const { return m_surface; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void resetSurface();

    QImage m_surface;
    QRectF m_lastTarget;
    bool m_empty = true;
};
