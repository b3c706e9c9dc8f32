#pragma once

#include <optional>

#include <QTimer>
#include <QWidget>

namespace korvane {

// A top-level window with the published properties that the layout file
// stores. Published properties are the upper-case ones declared here and in
// subclasses; Qt's own lower-case properties are never stored.
class TPublishedForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
    Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TPosition Position READ Position WRITE SetPosition)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(TWindowState WindowState READ WindowState WRITE SetWindowState)

  public:
    enum TPosition {
        poDesigned,
        poDefault,
        poDefaultPosOnly,
        poDefaultSizeOnly,
        poScreenCenter,
        poDesktopCenter,
        poMainFormCenter,
        poOwnerFormCenter
    };
    Q_ENUM(TPosition)
    enum TWindowState { wsNormal, wsMinimized, wsMaximized };
    Q_ENUM(TWindowState)

    explicit TPublishedForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    // Where the window system cannot tell a window's place (a native Wayland
    // client is told (0,0)), Left and Top keep what was loaded or first
    // placed, so a saved layout never loses its position.
    int Left() const { return PositionsReported() ? pos().x() : placed_.x(); }
    void SetLeft(int v) {
        placed_.setX(v);
        placedSet_ = true;
        move(v, pos().y());
    }
    int Top() const { return PositionsReported() ? pos().y() : placed_.y(); }
    void SetTop(int v) {
        placed_.setY(v);
        placedSet_ = true;
        move(pos().x(), v);
    }

    // Whether the platform reports top-level window positions; tests may
    // say otherwise.
    static bool PositionsReported();
    static void SetPositionsReportedForTest(std::optional<bool> reported);
    int Width() const { return frameGeometry().width(); }
    void SetWidth(int v);
    int Height() const { return frameGeometry().height(); }
    void SetHeight(int v);
    int Cursor() const { return static_cast<int>(cursor().shape()); }
    void SetCursor(int v);
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool v);
    int AlphaBlendValue() const { return alphaBlendValue_; }
    void SetAlphaBlendValue(int v);
    int ClientHeight() const { return height(); }
    void SetClientHeight(int v);
    int ClientWidth() const { return width(); }
    void SetClientWidth(int v);
    bool Enabled() const { return isEnabled(); }
    // A window restored disabled could be neither used nor closed.
    void SetEnabled(bool v) { setEnabled(v || isWindow()); }
    TPosition Position() const { return position_; }
    void SetPosition(TPosition v) { position_ = v; }
    bool Visible() const { return isVisible(); }
    // A window restored hidden or minimised would be out of sight, and a
    // frameless one has no task-bar entry to bring it back: a top-level
    // window takes neither from its properties.
    void SetVisible(bool v) {
        if (v || !isWindow()) {
            setVisible(v);
        }
    }
    // What the window comes back as: a minimised one reports the state it
    // returns to, so that a stored layout never brings it back minimised.
    TWindowState WindowState() const;
    void SetWindowState(TWindowState v);

    // Fits the window to the screen it is mostly on (the primary one when it
    // is on none) and moves it wholly onto it, header included: a layout from
    // another monitor set-up, or a bad file, never leaves it out of reach.
    // Shown windows learn their frame from the window manager only later:
    // the fit is done again once it is known (for a moment after showing).
    void KeepOnScreen();

    void setVisible(bool visible) override;

  private:
    void ApplyOpacity();
    static bool SaneSize(int v) { return v > 0 && v <= 100000; }

    int tag_ = 0;
    bool alphaBlend_ = false;
    int alphaBlendValue_ = 255;
    TPosition position_ = poDesigned;
    QPoint placed_; // the position loaded or first placed
    bool placedSet_ = false;
    // Looks for the frame a while after showing, to fit again once it is known.
    QTimer* framePoll_ = nullptr;
    int framePollsLeft_ = 0;
};

} // namespace korvane
