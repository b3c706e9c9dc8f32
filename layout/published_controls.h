#pragma once

#include <QListWidget>
#include <QToolBar>
#include <QWidget>

namespace korvane {

// The editor's stored controls, each with the published properties its
// layout keys name. Sizes out of range are ignored.

// CoolBar1: the band that holds the tool bar.
class TPublishedBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

  public:
    using QWidget::QWidget;
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool v) { setVisible(v); }

  private:
    int tag_ = 0;
};

// ToolBar1: captions on or off, beside (List) or below the images.
class TPublishedToolBar : public QToolBar {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool List READ List WRITE SetList)
    Q_PROPERTY(bool ShowCaptions READ ShowCaptions WRITE SetShowCaptions)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

  public:
    using QToolBar::QToolBar;
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    bool List() const { return list_; }
    void SetList(bool v);
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool v);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool v) { setVisible(v); }

  private:
    void ApplyStyle();
    int tag_ = 0;
    bool list_ = true;
    bool showCaptions_ = true;
};

// BatchList: its width is the left pane of the splitter it lives in.
class TPublishedListView : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

  public:
    using QListWidget::QListWidget;
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    int Width() const { return width(); }
    void SetWidth(int v);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool v) { setVisible(v); }

  private:
    int tag_ = 0;
};

} // namespace korvane
