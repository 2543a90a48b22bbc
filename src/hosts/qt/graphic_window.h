// A graphic window (0 to 7): the menu bar at the top, the view with the window's picture in
// the content below it, the border colour around the view. Files dropped on it are files to
// open. The picture is drawn at any size with its proportions kept: crisp at whole scales,
// smoothed between them; the toolkit still measures clicks in its own pixels.
#pragma once

#include <QColor>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "hosts/qt/host_window.h"

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
    // A move with a button held since a press in the view: a drag.
    void mouseDrag(QPointF inView, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Tab and Back-tab are keys of the toolkit, not focus moves.
    bool focusNextPrevChild(bool) override { return false; }

private:
    QSize pictureSize() const;
    // A point of the view as the toolkit measures it in the window.
    host::MouseEvent toolkitMouse(QPointF inView, Qt::KeyboardModifiers modifiers) const;

    int number_;
    GraphicWindow* window_;
    host::Image image_;
    uint64_t generation_ = 0;
    int wheelRemainder_ = 0;  // eighths of a degree not yet a whole notch (touchpads)
};

class GraphicWindow : public HostWindow {
public:
    GraphicWindow(int number, int titleBarHeight);
    GraphicView* view() const { return view_; }

    void setViewFrame(const host::Rect& frame);
    const host::Rect& viewFrame() const { return viewFrame_; }
    void setBorderColor(const QColor& color);
    QColor borderColor() const { return border_; }
    // What a key press in the view is, before the toolkit takes it.
    void setKeyWatcher(std::function<void(const host::KeyEvent&)> watcher) { keyWatcher_ = std::move(watcher); }
    void keyPressed(const host::KeyEvent& key) {
        if (keyWatcher_) keyWatcher_(key);
    }

protected:
    void layOut() override;
    // A size the user gives keeps the picture's proportions: the other side follows.
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void keepAspect(bool byWidth);

    host::Rect viewFrame_{};
    QColor border_{Qt::black};
    GraphicView* view_;
    std::function<void(const host::KeyEvent&)> keyWatcher_;
    QSize refused_;  // the size before the last correction: the window manager's, when it comes back
};

}  // namespace host::qt
