#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "splitter.h"

class QFrame;
class QWidget;

namespace ui {

/// Turns a frame between two panes of a window into a draggable vertical splitter: the Qt side
/// of cVSplitter. It watches the bar's mouse, the client's resizes, and Escape and the
/// minimised state of the client's window; it moves the panes with setGeometry and draws the
/// outline of an outline drag over the client.
///
/// Usage: set_controls(), then set_left() and set_top(). UI thread only.
class SplitterBar : public QObject {
    Q_OBJECT
public:
    explicit SplitterBar(QObject* parent = nullptr);
    ~SplitterBar() override;

    /// Binds the owner's client area (its size is the client rectangle; its resizes lay the
    /// panes out again), the two panes and the bar. `resize_splitter` is called after every
    /// pane move. False, with nothing bound and `error` naming the control (" must be a window
    /// (have a window handle)."), when a control is null or a pane or the bar is not a child
    /// of `client`. A left pane with a sunken frame overlaps the bar by the border width.
    bool set_controls(QWidget* client, QWidget* left, QWidget* right, QFrame* bar,
                      std::function<void()> resize_splitter, QString* error = nullptr);

    int left() const { return m_split.left(); }
    void set_left(int x) { m_split.set_left(x); }
    int width() const { return m_split.width(); }
    void set_width(int w) { m_split.set_width(w); }
    int top() const { return m_split.top(); }
    void set_top(int y) { m_split.set_top(y); }
    int height_offset() const { return m_split.height_offset(); }
    void set_height_offset(int cy) { m_split.set_height_offset(cy); }
    bool splitting() const { return m_split.splitting(); }
    bool track_split() const { return m_split.track_split(); }
    void set_track_split(bool on) { m_split.set_track_split(on); }
    void cancel_split() { m_split.cancel_split(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Host;
    bool bar_event(QEvent* event);

    std::unique_ptr<Host> m_host; // outlives m_split, which may end a drag as it goes
    cVSplitter m_split;
};

} // namespace ui
