// A graphic window (0 to 7): the menu bar at the top, the view with the window's picture in
// the content below it, the border colour around the view. Files dropped on it are files to
// open.
#pragma once

#include <QColor>
#include <cstdint>
#include <vector>

#include "host/host.h"
#include "host/qt/host_window.h"

namespace host::qt {

class GraphicWindow;

// The view of a graphic window: paints the toolkit's picture scaled to its size and hands
// keys and mouse presses to the toolkit's entries with its window number.
class GraphicView : public QWidget {
public:
    GraphicView(int number, GraphicWindow* window);
    // Where the picture lies in the view now.
    QRectF pictureRect() const;
    // A press or release at a point of the view (outside it too: the window's border).
    void mousePress(QPointF inView, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void mouseRelease(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Tab and Back-tab are keys of the toolkit, not focus moves.
    bool focusNextPrevChild(bool) override { return false; }

private:
    QSize pictureSize() const;

    int number_;
    GraphicWindow* window_;
    host::Image image_;
    uint64_t generation_ = 0;
};

class GraphicWindow : public HostWindow {
public:
    GraphicWindow(int number, int titleBarHeight);
    GraphicView* view() const { return view_; }

    void setViewFrame(const host::Rect& frame);
    const host::Rect& viewFrame() const { return viewFrame_; }
    void setBorderColor(const QColor& color);
    QColor borderColor() const { return border_; }

protected:
    void layOut() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    host::Rect viewFrame_{};
    QColor border_{Qt::black};
    GraphicView* view_;
};

}  // namespace host::qt
