#pragma once
// The small pictures of the audio view windows, drawn by this program: the
// fragment selector's markers (5 x 15); the 8 x 8 pattern behind its strip
// is the program's picture 204.

#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;

namespace orv::audioviews {

inline constexpr int kMarkerWidth = 5;
inline constexpr int kMarkerHeight = 15;
inline constexpr int kPatternSize = 8;
inline constexpr int kPatternPicture = 204;

// The play-position marker (bitmap 208): a red needle.
const QImage& PositionMarker();
// A fragment marker (bitmap 207): a raised grey thumb with a dark core.
const QImage& FragmentMarker();
// The background pattern (picture 204).
const QImage& BackgroundPattern();

// A 1-pixel 3-D edge on `rect`: `topLeft` along its top and left sides,
// `bottomRight` along its bottom and right sides.
void DrawEdge(QPainter& painter, const QRect& rect, QColor topLeft, QColor bottomRight);
// The sunken edge of the panes and the segment bar: dark grey and white.
inline void DrawSunkenEdge(QPainter& painter, const QRect& rect) {
  DrawEdge(painter, rect, QColor(128, 128, 128), Qt::white);
}

}  // namespace orv::audioviews
