#pragma once

#include <QRectF>
#include <QSizeF>

class QImage;
class QPainter;

// Where a picture goes in a box: scaled with its proportions kept until it touches two opposite
// edges, centred along the other axis. Equal proportions take the height-fitting branch.
QRectF FitPhoto(QSizeF picture, QSizeF box);

// Draws the picture into the box's area by that rule, without clearing what is already there.
void drawFitted(QPainter& painter, const QImage& picture, QSizeF box);
