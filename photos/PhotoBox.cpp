#include "PhotoBox.h"

#include "FitPhoto.h"

#include <QPainter>

PhotoBox::PhotoBox(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    resetSurface();
}

QSize PhotoBox::innerSize() const
{
    return contentsRect().size();
}

QSize PhotoBox::decodeSize() const
{
    return (QSizeF(innerSize()) * devicePixelRatioF()).toSize().expandedTo(QSize(1, 1));
}

void PhotoBox::resetSurface()
{
    const QSize size = innerSize().expandedTo(QSize(1, 1));
    m_surface = QImage(size, QImage::Format_RGB32);
    m_surface.fill(palette().color(QPalette::Window));
    m_empty = true;
    m_lastTarget = {};
}

void PhotoBox::drawFitted(const QImage& picture)
{
    // The geometry may have changed while the box was hidden, before any resize event arrived.
    if (m_surface.size() != innerSize())
        resetSurface();
    QPainter painter(&m_surface);
    m_lastTarget = FitPhoto(picture.size(), m_surface.size());
    ::drawFitted(painter, picture, m_surface.size());
    m_empty = m_empty && m_lastTarget.isEmpty();
    update();
}

void PhotoBox::clear()
{
    resetSurface();
    update();
}

void PhotoBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), m_surface);
}

void PhotoBox::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (m_surface.size() != innerSize())
        resetSurface();
}
