// Moving and resizing the borderless startup menu by its header and edges.
#include "menu/startup_menu.h"

#include <QFrame>
#include <QMouseEvent>

#include <algorithm>

namespace korvane {

namespace {

Qt::CursorShape CursorFor(ResizeZone zone) {
    switch (zone) {
    case ResizeZone::Horizontal:
        return Qt::SizeHorCursor;
    case ResizeZone::Vertical:
        return Qt::SizeVerCursor;
    case ResizeZone::Diagonal:
        return Qt::SizeFDiagCursor;
    case ResizeZone::None:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace

bool TForm2::HeaderMouse(QEvent* event) {
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton && startSystemMove && startSystemMove()) {
            return true; // the window system moves it from here
        }
        press_ = mouse->globalPosition().toPoint();
        pressWindow_ = pos();
        moving_ = dragging_ = true;
        return true;
    case QEvent::MouseMove:
        if (dragging_ && moving_) {
            move(pressWindow_ + (mouse->globalPosition().toPoint() - press_));
        }
        return true;
    case QEvent::MouseButtonRelease:
        moving_ = dragging_ = false;
        return true;
    default:
        return false;
    }
}

bool TForm2::PanelMouse(QEvent* event) {
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse) {
        return false;
    }
    // The panel fills the window, so its coordinates are the window's.
    const QPoint at = mouse->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseMove: {
        if (dragging_ && !moving_ && zone_ != ResizeZone::None) {
            int w = width(), h = height();
            if (zone_ == ResizeZone::Horizontal || zone_ == ResizeZone::Diagonal) {
                w += at.x() - press_.x();
            }
            if (zone_ == ResizeZone::Vertical || zone_ == ResizeZone::Diagonal) {
                h += at.y() - press_.y();
            }
            resize(std::max(w, minimumWidth()), std::max(h, minimumHeight()));
            press_ = at;
        }
        zone_ = ResizeZoneAt(at.x(), at.y(), width(), height());
        Panel1->setCursor(CursorFor(zone_));
        return true;
    }
    case QEvent::MouseButtonPress:
        if (zone_ != ResizeZone::None) {
            press_ = at;
            dragging_ = true;
            moving_ = false;
        }
        return true;
    case QEvent::MouseButtonRelease:
        EndDrag();
        return true;
    default:
        return false;
    }
}

void TForm2::EndDrag() {
    if (dragging_ && !moving_) {
        dragging_ = false;
        zone_ = ResizeZone::None;
        Panel1->setCursor(Qt::ArrowCursor);
    }
}

} // namespace korvane
