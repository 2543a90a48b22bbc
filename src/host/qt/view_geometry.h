// Where a graphic window's view and picture lie in its host window, and the way back from
// a point on the screen to the toolkit's unscaled points.
#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include "host/host.h"

namespace host::qt {

// The view in a client area of `client` whose top `title` points are the menu bar. The
// toolkit's view frame (border width, border height, width, height; measured from the
// bottom left of the content) gives the view's natural place; a larger or smaller content
// scales view and borders alike, keeping their proportions, and centres them.
QRect viewRect(QSize client, int title, const host::Rect& viewFrame);

// The picture of `image` pixels drawn into a view of `view` points: as large as fits with
// its proportions kept, centred.
QRectF pictureRect(QSizeF view, QSize image);

// A point in the view (Qt's coordinates) as the toolkit measures it: from the bottom left
// of the window frame, in picture pixels, so that a point in picture pixel (px, py), py from
// the top, gives (borderWidth + px, borderHeight + image height − py).
QPointF toolkitPoint(QPointF inView, const QRectF& picture, QSize image, double borderWidth, double borderHeight);

}  // namespace host::qt
