#pragma once

namespace ui {

/// A rectangle in pixels of the owner's client area.
struct SplitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const SplitRect&) const = default;
};

/// What the splitter needs of the real window. Implemented by the Qt binding and by the tests.
class SplitterHost {
public:
    virtual ~SplitterHost() = default;
    /// The owner's client rectangle.
    virtual SplitRect client_rect() const = 0;
    virtual bool minimised() const = 0;
    /// Where the bar control's left edge is now.
    virtual int bar_left() const = 0;
    virtual void move_left_pane(const SplitRect& r) = 0;
    virtual void move_right_pane(const SplitRect& r) = 0;
    virtual void move_bar(const SplitRect& r) = 0;
    /// A drag starts: keep the mouse with the bar and get ready to draw outlines. False
    /// refuses the drag.
    virtual bool begin_drag() = 0;
    /// The drag is over (applied, cancelled or abandoned): give back what begin_drag took.
    virtual void end_drag() = 0;
    /// Inverts the band at `r`; inverting the same band again erases it.
    virtual void invert_outline(const SplitRect& r) = 0;
    /// The owner lays out the controls inside the panes. Called after every pane move.
    virtual void resize_splitter() = 0;
};

/// The system's window metrics the splitter's geometry is made from, in pixels.
struct SplitterMetrics {
    int sizing_frame = 4;       ///< a resizable window's frame
    int border = 1;             ///< a thin border
    int min_window_width = 112; ///< the narrowest a top-level window can be made
};

/// A vertical splitter: a thin bar between a left and a right pane that the user drags, live
/// or as an inverted outline moved on release. The bar keeps its place as a proportion of the
/// client width when the owner is resized, and neither pane gets narrower than the minimum
/// margin.
///
/// Usage: bind() to a host, write left() and top() (each write lays the panes out again),
/// then pass the owner's resizes, the bar's left-button mouse events and Escape on. Nothing
/// moves before bind(). UI thread only; NOT thread-safe.
class cVSplitter final {
public:
    explicit cVSplitter(const SplitterMetrics& metrics);
    /// A drag still running is ended without moving anything.
    ~cVSplitter();
    cVSplitter(const cVSplitter&) = delete;
    cVSplitter& operator=(const cVSplitter&) = delete;

    /// Binds the owner. The bar width becomes the sizing frame less the border unless set;
    /// a left pane with a sunken border overlaps the bar by the border width on each side.
    void bind(SplitterHost& host, bool left_pane_sunken);

    /// The bar's left edge. Writing places the bar at `x` (within the margins); negative
    /// values are ignored.
    int left() const { return m_left; }
    void set_left(int x);
    /// The bar's width, 1 to 255; other values are ignored.
    int width() const { return m_width; }
    void set_width(int w);
    /// The top edge of the panes and the bar; negative values are ignored.
    int top() const { return m_top; }
    void set_top(int y);
    /// The space kept free below the panes; negative values are ignored.
    int height_offset() const { return m_height_offset; }
    void set_height_offset(int cy);
    /// True while a drag is in progress.
    bool splitting() const { return m_dragging; }
    /// True moves the panes while dragging; false drags an outline. Read at each drag's start.
    bool track_split() const { return m_track_split; }
    void set_track_split(bool on) { m_track_split = on; }
    /// Ends a drag without applying it: the bar and panes are where the drag found them.
    void cancel_split();
    /// Neither pane is made narrower than this.
    int minimum_margin() const;

    /// The owner was resized (or restored): lays out again, unless it is minimised.
    void owner_resized();
    /// Left button pressed, moved or released on the bar; `x` in pixels from the bar's left.
    void mouse_down(int x);
    void mouse_move(int x);
    void mouse_up(int x);
    /// Escape in the owner: cancels a drag. True when it did (the key is then swallowed).
    bool escape_pressed();

private:
    void relayout();
    void move_panes();
    int limited(int x) const;
    int drag_position(int x) const;
    SplitRect outline() const;
    void finish_drag();

    SplitterMetrics m_metrics;
    SplitterHost* m_host = nullptr;
    int m_left = 0;
    int m_width = 0;
    int m_top = 0;
    int m_height_offset = 0;
    int m_inset = 0;
    int m_client_width = 0;
    int m_pane_bottom = 0;
    int m_reference_width = 0;
    float m_proportion = 0;
    int m_saved_left = 0;
    int m_previous_left = 0;
    bool m_track_split = false;
    bool m_dragging = false;
    bool m_live_drag = false;
};

} // namespace ui
