#include "hosts/qt/view_geometry.h"

#include <algorithm>
#include <cmath>

namespace host::qt {

QRect viewRect(QSize client, int title, const host::Rect& viewFrame) {
    const QRect content(0, title, client.width(), std::max(0, client.height() - title));
    const double naturalWidth = viewFrame.width + 2 * viewFrame.x, naturalHeight = viewFrame.height + 2 * viewFrame.y;
    if (viewFrame.width <= 0 || viewFrame.height <= 0 || naturalWidth <= 0 || naturalHeight <= 0) return content;
    const double scale = std::min(content.width() / naturalWidth, content.height() / naturalHeight);
    const double slackX = content.width() - naturalWidth * scale, slackY = content.height() - naturalHeight * scale;
    const double top = naturalHeight - viewFrame.y - viewFrame.height;
    return QRect(static_cast<int>(std::lround(slackX / 2 + viewFrame.x * scale)),
                 title + static_cast<int>(std::lround(slackY / 2 + top * scale)),
                 static_cast<int>(std::lround(viewFrame.width * scale)),
                 static_cast<int>(std::lround(viewFrame.height * scale)));
}

QRectF pictureRect(QSizeF view, QSize image) {
    if (image.isEmpty() || view.isEmpty()) return {};
    const double scale = std::min(view.width() / image.width(), view.height() / image.height());
    const QSizeF size(image.width() * scale, image.height() * scale);
    return QRectF(QPointF((view.width() - size.width()) / 2, (view.height() - size.height()) / 2), size);
}

QSize naturalContent(const host::Rect& viewFrame) {
    if (viewFrame.width <= 0 || viewFrame.height <= 0) return {};
    return QSize(static_cast<int>(std::lround(viewFrame.width + 2 * viewFrame.x)),
                 static_cast<int>(std::lround(viewFrame.height + 2 * viewFrame.y)));
}

QSize fittedClient(QSize natural, int title, QSize room) {
    const int content = natural.height() - title;
    if (natural.width() <= 0 || content <= 0 || room.width() <= 0 || room.height() <= title) return natural;
    const double scale =
        std::min({1.0, double(room.width()) / natural.width(), double(room.height() - title) / content});
    if (scale >= 1.0) return natural;
    return QSize(std::max(1, static_cast<int>(std::floor(natural.width() * scale))),
                 title + std::max(1, static_cast<int>(std::floor(content * scale))));
}

QRect fittedOnScreen(QRect client, const QMargins& frame, const QRect& area, int title, bool scales) {
    const QRect room = area.marginsRemoved(frame);
    if (scales) {
        const QSize size = fittedClient(client.size(), title, room.size());
        const QPoint centre = client.center();
        client.setSize(size);
        client.moveCenter(centre);
    }
    if (client.right() > room.right()) client.moveRight(room.right());
    if (client.bottom() > room.bottom()) client.moveBottom(room.bottom());
    if (client.left() < room.left()) client.moveLeft(room.left());
    if (client.top() < room.top()) client.moveTop(room.top());
    return client;
}

bool keepsAspect(QSize client, int title, QSize content) {
    if (content.isEmpty()) return true;
    const QSize by = withAspect(client, title, content, true), other = withAspect(client, title, content, false);
    return std::abs(by.height() - client.height()) <= 1 || std::abs(other.width() - client.width()) <= 1;
}

QSize withAspect(QSize client, int title, QSize content, bool byWidth) {
    if (content.isEmpty()) return client;
    const double ratio = double(content.height()) / content.width();
    if (byWidth) return QSize(client.width(), title + static_cast<int>(std::lround(client.width() * ratio)));
    return QSize(static_cast<int>(std::lround((client.height() - title) / ratio)), client.height());
}

QPointF toolkitPoint(QPointF inView, const QRectF& picture, QSize image, double borderWidth, double borderHeight) {
    // Without a picture there is nothing to point at: the corner of the drawing area.
    if (picture.isEmpty() || image.isEmpty()) return {borderWidth, borderHeight};
    const double px = std::floor((inView.x() - picture.x()) * image.width() / picture.width());
    const double py = std::floor((inView.y() - picture.y()) * image.height() / picture.height());
    return {borderWidth + px, borderHeight + image.height() - py};
}

}  // namespace host::qt
