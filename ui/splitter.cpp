#include "splitter.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr int kMaxWidth = 255;
}

cVSplitter::cVSplitter(const SplitterMetrics& metrics) : m_metrics(metrics) {}

cVSplitter::~cVSplitter() {
    if (m_dragging && m_host)
        m_host->end_drag();
}

void cVSplitter::bind(SplitterHost& host, bool left_pane_sunken) {
    m_host = &host;
    if (m_width == 0)
        m_width = std::clamp(m_metrics.sizing_frame - m_metrics.border, 1, kMaxWidth);
    m_inset = left_pane_sunken ? m_metrics.border : 0;
}

void cVSplitter::set_left(int x) {
    if (x < 0)
        return;
    // A written place wins over the proportion kept from the last layout.
    m_left = x;
    m_proportion = 0;
    m_reference_width = 0;
    relayout();
}

void cVSplitter::set_width(int w) {
    if (w <= 0 || w > kMaxWidth)
        return;
    m_width = w;
    relayout();
}

void cVSplitter::set_top(int y) {
    if (y < 0)
        return;
    m_top = y;
    relayout();
}

void cVSplitter::set_height_offset(int cy) {
    if (cy < 0)
        return;
    m_height_offset = cy;
    relayout();
}

int cVSplitter::minimum_margin() const {
    return (m_metrics.min_window_width - 2 * m_metrics.sizing_frame - m_width) / 2;
}

int cVSplitter::limited(int x) const {
    const int margin = minimum_margin();
    // The right limit wins when the client is too narrow for both; the bar never leaves it.
    return std::max(0, std::min(std::max(x, margin), m_client_width - margin - m_width));
}

int cVSplitter::drag_position(int x) const {
    return limited(m_host->bar_left() + x);
}

SplitRect cVSplitter::outline() const {
    return {m_left, m_top, m_width, m_pane_bottom - m_top};
}

void cVSplitter::owner_resized() {
    relayout();
}

void cVSplitter::relayout() {
    if (!m_host || m_host->minimised())
        return;
    const SplitRect client = m_host->client_rect();
    if (m_proportion <= 0) {
        if (m_left == 0)
            m_left = m_host->bar_left();
        if (m_reference_width == 0)
            m_reference_width = client.width;
        if (m_reference_width <= 0)
            return; // not shown yet: no width to take a proportion of
        m_proportion = static_cast<float>(m_left) / static_cast<float>(m_reference_width);
    }
    const bool outlined = m_dragging && !m_live_drag;
    if (outlined)
        m_host->invert_outline(outline());
    m_client_width = client.width;
    m_pane_bottom = client.height - m_height_offset;
    if (m_pane_bottom >= m_top && m_client_width > 0) {
        m_left = limited(static_cast<int>(std::nearbyint(m_client_width * double(m_proportion))));
        move_panes();
    }
    if (outlined)
        m_host->invert_outline(outline());
}

void cVSplitter::move_panes() {
    const int height = m_pane_bottom - m_top;
    const SplitRect left{0, m_top, m_inset + m_left, height};
    const SplitRect right{m_left + m_width - m_inset, m_top,
                          m_client_width - (m_left + m_width) + m_inset, height};
    // The shrinking pane moves first, so the panes never overlap on the way.
    if (m_left >= m_previous_left) {
        m_host->move_right_pane(right);
        m_host->move_bar(outline());
        m_host->move_left_pane(left);
    } else {
        m_host->move_left_pane(left);
        m_host->move_bar(outline());
        m_host->move_right_pane(right);
    }
    m_previous_left = m_left;
    m_host->resize_splitter();
}

void cVSplitter::mouse_down(int x) {
    if (!m_host || m_dragging || m_client_width <= 0 || m_pane_bottom < m_top)
        return;
    if (!m_host->begin_drag())
        return;
    m_dragging = true;
    m_live_drag = m_track_split;
    m_reference_width = m_host->client_rect().width;
    m_proportion = 0; // the next layout takes it from where the drag ends
    m_saved_left = m_left;
    m_left = drag_position(x);
    if (!m_live_drag)
        m_host->invert_outline(outline());
}

void cVSplitter::mouse_move(int x) {
    if (!m_dragging)
        return;
    if (!m_live_drag)
        m_host->invert_outline(outline());
    m_left = drag_position(x);
    if (m_live_drag)
        move_panes();
    else
        m_host->invert_outline(outline());
}

void cVSplitter::mouse_up(int x) {
    if (!m_dragging)
        return;
    if (!m_live_drag)
        m_host->invert_outline(outline());
    finish_drag();
    m_left = drag_position(x);
    move_panes();
}

void cVSplitter::cancel_split() {
    if (!m_dragging)
        return;
    if (!m_live_drag)
        m_host->invert_outline(outline());
    // Both modes take the old place back, so that the next layout does not apply the
    // cancelled one.
    m_left = m_saved_left;
    if (m_live_drag)
        move_panes();
    finish_drag();
}

bool cVSplitter::escape_pressed() {
    if (!m_dragging)
        return false;
    cancel_split();
    return true;
}

void cVSplitter::finish_drag() {
    m_dragging = false;
    m_host->end_drag();
}

} // namespace ui
