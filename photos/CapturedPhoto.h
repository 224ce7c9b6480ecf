#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

// How a camera frame becomes a member photo: its centre, cut to the proportions of the member
// window's photo box, at most kMaxHeight pixels high. Smaller frames keep their pixels.
namespace CapturedPhoto {

// The photo box is 2175 x 2775 twips.
inline constexpr int kBoxWidth = 2175;
inline constexpr int kBoxHeight = 2775;
inline constexpr int kMaxHeight = 1200;

// The part of a frame of this size that is kept; empty for an empty frame.
QRect cropOf(QSize frame);
// The size a crop is stored at.
QSize storedSize(QSize crop);
// The photo to store, or a null image when the frame holds no usable picture.
QImage fromFrame(const QImage& frame);

} // namespace CapturedPhoto
