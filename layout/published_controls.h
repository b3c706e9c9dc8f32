#pragma once

#include <QAction>
#include <QListWidget>
#include <QWidget>
#include <map>

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
// The editor's tool bar: flat buttons, at least 100 wide with captions
// beside their pictures, that wrap into a second row rather than hide behind
// an overflow arrow when the window is narrow.
class TPublishedToolBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool List READ List WRITE SetList)
    Q_PROPERTY(bool ShowCaptions READ ShowCaptions WRITE SetShowCaptions)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

  public:
    explicit TPublishedToolBar(QWidget* parent = nullptr);
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    bool List() const { return list_; }
    void SetList(bool v);
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool v);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool v) { setVisible(v); }

    void setIconSize(const QSize& size);
    QAction* addSeparator();
    // The button that shows action; nullptr for none.
    QWidget* widgetForAction(QAction* action) const;
    Qt::ToolButtonStyle toolButtonStyle() const;

  protected:
    void actionEvent(QActionEvent* event) override;

  private:
    void ApplyStyle();
    int tag_ = 0;
    bool list_ = true;
    bool showCaptions_ = true;
    QSize iconSize_{16, 16};
    std::map<QAction*, QWidget*> widgets_;
};

// BatchList: its width is the left pane of the splitter it lives in.
class TPublishedListView : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

  public:
    using QListWidget::QListWidget;
    // Whether a row's in-place editor is open.
    bool Editing() const { return state() == QAbstractItemView::EditingState; }
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
