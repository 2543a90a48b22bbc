// Where a graphic window's view and picture lie in its host window, and the way back from
// a point on the screen to the toolkit's unscaled points.
#pragma once

#include <QMargins>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

#include "platform/platform.h"

namespace host::qt {

// The view in a client area of `client` whose top `title` points are the menu bar. The
// toolkit's view frame (border width, border height, width, height; measured from the
// bottom left of the content) gives the view's natural place; a larger or smaller content
// scales view and borders alike, keeping their proportions, and centres them.
QRect viewRect(QSize client, int title, const host::Rect& viewFrame);

// The picture of `image` pixels drawn into a view of `view` points: as large as fits with
// its proportions kept, centred.
QRectF pictureRect(QSizeF view, QSize image);

// The content's natural size of a view frame: the view with its borders on every side.
QSize naturalContent(const host::Rect& viewFrame);

// The client size for a natural client size `natural` (its top `title` points the menu bar,
// which keeps its height) in a room of `room` points: scaled down with the content's
// proportions kept where it would not fit, never up.
QSize fittedClient(QSize natural, int title, QSize room);

// The client rectangle that puts a window, whose frame adds `frame` around `client`, whole
// within `area`: scaled down about its centre where it is too large (only when `scales`, as
// fittedClient scales), then moved in as far as needed, its top edge last so that the title
// bar stays on the screen whatever else.
QRect fittedOnScreen(QRect client, const QMargins& frame, const QRect& area, int title, bool scales);

// Whether `client` shows a content of `content`'s proportions, give or take a point; and
// the nearest client size that does, keeping the width (byWidth) or the height.
bool keepsAspect(QSize client, int title, QSize content);
QSize withAspect(QSize client, int title, QSize content, bool byWidth);

// A point in the view (Qt's coordinates) as the toolkit measures it: from the bottom left
// of the window frame, in picture pixels, so that a point in picture pixel (px, py), py from
// the top, gives (borderWidth + px, borderHeight + image height − py).
QPointF toolkitPoint(QPointF inView, const QRectF& picture, QSize image, double borderWidth, double borderHeight);

}  // namespace host::qt
