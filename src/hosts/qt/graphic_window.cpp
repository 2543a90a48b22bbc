#include "hosts/qt/graphic_window.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <cmath>

#include "input/entries.h"
#include "display/image.h"
#include "display/window.h"
#include "hosts/qt/key_mapping.h"
#include "hosts/qt/view_geometry.h"

namespace host::qt {
namespace {

bool windowInitialized(int number) {
    return kt::memoryReady() && kt::windowRecord(static_cast<uint8_t>(number)).Initialized;
}

uint64_t mouseModifiers(Qt::KeyboardModifiers modifiers) {
    KeyInput input;
    input.modifiers = modifiers;
    return modifierFlags(input);
}

// The local files of a drop, as paths in the file system's own bytes.
std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QByteArray path = QFile::encodeName(url.toLocalFile());
        if (!path.isEmpty()) paths.emplace_back(path.constData(), static_cast<size_t>(path.size()));
    }
    return paths;
}

}  // namespace

GraphicView::GraphicView(int number, GraphicWindow* window) : QWidget(window), number_(number), window_(window) {
    setFocusPolicy(Qt::StrongFocus);
    // Every paint covers the whole view.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize GraphicView::pictureSize() const {
    if (!image_.pixels.empty()) return {image_.width, image_.height};
    if (windowInitialized(number_)) {
        const t_Window& record = kt::windowRecord(static_cast<uint8_t>(number_));
        return {static_cast<int>(record.Width), static_cast<int>(record.Height)};
    }
    return size();
}

QRectF GraphicView::pictureRect() const { return qt::pictureRect(QSizeF(size()), pictureSize()); }

void GraphicView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool shown = windowInitialized(number_) && kt::viewRedraw(number_, image_, generation_) && image_.width > 0 &&
                       image_.height > 0 &&
                       image_.pixels.size() == static_cast<size_t>(image_.width) * static_cast<size_t>(image_.height);
    if (!shown) {
        painter.fillRect(rect(), window_->borderColor());
        return;
    }
    const QImage picture(reinterpret_cast<const uchar*>(image_.pixels.data()), image_.width, image_.height,
                         image_.width * 4, QImage::Format_RGB32);
    const QRectF target = qt::pictureRect(QSizeF(size()), picture.size());
    if (target.toAlignedRect() != rect()) painter.fillRect(rect(), window_->borderColor());
    // Nearest neighbour at whole scales, where every pixel stays a sharp square; between
    // them the pixels are blended, or strokes of the glyphs would come and go.
    const double scale = target.width() * devicePixelRatioF() / picture.width();
    const bool whole = scale >= 1 && std::abs(scale - std::round(scale)) < 0.001;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !whole);
    painter.drawImage(target, picture);
}

void GraphicView::keyPressEvent(QKeyEvent* event) {
    const KeyInput input = keyInputFrom(*event);
    if (isModifierKey(input.key)) {
        viewFlagsChanged(static_cast<uint8_t>(number_), modifierFlags(input, true));
        return;
    }
    const host::KeyEvent key = mapKey(input);
    window_->keyPressed(key);
    viewKeyDown(static_cast<uint8_t>(number_), key);
}

void GraphicView::keyReleaseEvent(QKeyEvent* event) {
    const KeyInput input = keyInputFrom(*event);
    if (isModifierKey(input.key))
        viewFlagsChanged(static_cast<uint8_t>(number_), modifierFlags(input, false));
    else if (!event->isAutoRepeat())  // a held key repeats its press, not its release
        viewKeyUp(static_cast<uint8_t>(number_));
}

host::MouseEvent GraphicView::toolkitMouse(QPointF inView, Qt::KeyboardModifiers modifiers) const {
    double borderWidth = window_->viewFrame().x, borderHeight = window_->viewFrame().y;
    if (windowInitialized(number_)) {
        const t_Window& record = kt::windowRecord(static_cast<uint8_t>(number_));
        borderWidth = static_cast<double>(record.BorderWidth);
        borderHeight = static_cast<double>(record.BorderHeight);
    }
    const QPointF point = toolkitPoint(inView, pictureRect(), pictureSize(), borderWidth, borderHeight);
    host::MouseEvent mouse;
    mouse.x = point.x();
    mouse.y = point.y();
    mouse.modifierFlags = mouseModifiers(modifiers);
    return mouse;
}

void GraphicView::mousePress(QPointF inView, Qt::MouseButton button, Qt::MouseButtons buttons,
                             Qt::KeyboardModifiers modifiers) {
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    host::MouseEvent mouse = toolkitMouse(inView, modifiers);
    mouse.buttons = (buttons & Qt::LeftButton ? 1u : 0u) | (buttons & Qt::RightButton ? 2u : 0u);
    setFocus(Qt::MouseFocusReason);
    viewMouseDown(static_cast<uint8_t>(number_), mouse, button == Qt::RightButton);
}

void GraphicView::mouseDrag(QPointF inView, Qt::KeyboardModifiers modifiers) {
    viewMouseDragged(static_cast<uint8_t>(number_), toolkitMouse(inView, modifiers));
}

void GraphicView::mouseRelease(Qt::MouseButton button) {
    if (button == Qt::LeftButton || button == Qt::RightButton) viewMouseUp(static_cast<uint8_t>(number_));
}

void GraphicView::mousePressEvent(QMouseEvent* event) {
    mousePress(event->position(), event->button(), event->buttons(), event->modifiers());
}

void GraphicView::mouseReleaseEvent(QMouseEvent* event) { mouseRelease(event->button()); }

// Without mouse tracking a view hears of moves only while a button is held.
void GraphicView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & (Qt::LeftButton | Qt::RightButton)) mouseDrag(event->position(), event->modifiers());
}

void GraphicView::wheelEvent(QWheelEvent* event) {
    // A notch is 120 eighths of a degree; touchpads send parts of one, which add up.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / 120;
    wheelRemainder_ -= notches * 120;
    if (notches != 0) viewScrollWheel(static_cast<uint8_t>(number_), notches);
    event->accept();
}

GraphicWindow::GraphicWindow(int number, int titleBarHeight)
    : HostWindow(number, titleBarHeight), view_(new GraphicView(number, this)) {
    setFocusProxy(view_);
    setMinimumSize(64, 48);
    setAcceptDrops(true);
    resize(640, 480);
    layOut();
}

void GraphicWindow::setViewFrame(const host::Rect& frame) {
    viewFrame_ = frame;
    layOut();
}

void GraphicWindow::setBorderColor(const QColor& color) {
    border_ = color;
    update();
    view_->update();
}

// The window's background is the border colour. Painted here rather than set in the palette,
// which the menu bar would inherit.
void GraphicWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), border_);
}

void GraphicWindow::layOut() {
    HostWindow::layOut();
    view_->setGeometry(viewRect(size(), titleHeight(), viewFrame_));
}

void GraphicWindow::resizeEvent(QResizeEvent* event) {
    HostWindow::resizeEvent(event);
    const QSize content = naturalContent(viewFrame_);
    if (content.isEmpty() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        return;
    if (keepsAspect(size(), titleHeight(), content)) return;
    // The window manager insists on a size of its own (a screen too small): it stays, the
    // picture is centred in it.
    if (size() == refused_) return;
    refused_ = size();
    const QSize old = event->oldSize();
    const bool byWidth = !old.isValid() || std::abs(width() - old.width()) >= std::abs(height() - old.height());
    // Later, once the toolkit has given the view frame that belongs to the new size, if any.
    QTimer::singleShot(0, this, [this, byWidth] { keepAspect(byWidth); });
}

void GraphicWindow::keepAspect(bool byWidth) {
    const QSize content = naturalContent(viewFrame_);
    if (content.isEmpty() || keepsAspect(size(), titleHeight(), content)) return;
    resize(withAspect(size(), titleHeight(), content, byWidth));
}

// Presses in the border reach the toolkit as points outside the picture.
void GraphicWindow::mousePressEvent(QMouseEvent* event) {
    if (event->position().y() < titleHeight()) return;
    view_->mousePress(view_->mapFrom(this, event->position()), event->button(), event->buttons(), event->modifiers());
}

void GraphicWindow::mouseReleaseEvent(QMouseEvent* event) { view_->mouseRelease(event->button()); }

// A drag from a press in the border: the window holds the mouse until the button is let go.
void GraphicWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & (Qt::LeftButton | Qt::RightButton))
        view_->mouseDrag(view_->mapFrom(this, event->position()), event->modifiers());
}

void GraphicWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

// Each dropped file is a request to open it, as from the desktop.
void GraphicWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = droppedFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    for (const std::string& path : paths) f_FileEventHandler(path, 0);
    activateWindow();
}

}  // namespace host::qt
