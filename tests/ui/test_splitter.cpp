#include "splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ui::SplitRect;

// Records every move; the bar stays where it was last moved to.
struct FakeHost final : ui::SplitterHost {
    SplitRect client{0, 0, 600, 400};
    bool is_minimised = false;
    bool allow_drag = true;
    SplitRect bar, left_pane, right_pane;
    std::vector<std::string> moves;
    std::vector<SplitRect> inverted;
    int drags_ended = 0;
    int owner_layouts = 0;

    SplitRect client_rect() const override { return client; }
    bool minimised() const override { return is_minimised; }
    int bar_left() const override { return bar.x; }
    void move_left_pane(const SplitRect& r) override { left_pane = r, moves.push_back("left"); }
    void move_right_pane(const SplitRect& r) override { right_pane = r, moves.push_back("right"); }
    void move_bar(const SplitRect& r) override { bar = r, moves.push_back("bar"); }
    bool begin_drag() override { return allow_drag; }
    void end_drag() override { ++drags_ended; }
    void invert_outline(const SplitRect& r) override { inverted.push_back(r); }
    void resize_splitter() override { ++owner_layouts; }
};

// Width 4 - 1 = 3, minimum margin (112 - 8 - 3) / 2 = 50: the bar stays within [50, 547].
struct SplitterTest : ::testing::Test {
    FakeHost host;
    ui::cVSplitter split{ui::SplitterMetrics{4, 1, 112}};

    void SetUp() override {
        split.bind(host, false);
        split.set_track_split(true);
        split.set_left(200);
    }
    // Presses the bar a pixel in from its left edge and drags its edge by `dx` pixels.
    void drag_by(int dx) {
        split.mouse_down(1);
        split.mouse_move(dx);
    }
};

TEST_F(SplitterTest, PanesMeetAtTheBarAndBadValuesAreIgnored) {
    split.set_top(10);
    split.set_height_offset(20);
    EXPECT_EQ(host.bar, (SplitRect{200, 10, 3, 370}));
    EXPECT_EQ(host.left_pane, (SplitRect{0, 10, 200, 370}));
    EXPECT_EQ(host.right_pane, (SplitRect{203, 10, 397, 370}));
    EXPECT_EQ(host.owner_layouts, 3);

    split.set_left(-1), split.set_top(-1), split.set_height_offset(-1);
    split.set_width(0), split.set_width(256);
    EXPECT_EQ(host.bar, (SplitRect{200, 10, 3, 370}));

    split.bind(host, true); // a sunken left pane overlaps the bar by the border
    split.set_left(200);
    EXPECT_EQ(host.left_pane.width, 201);
    EXPECT_EQ(host.right_pane.x, 202);
}

TEST_F(SplitterTest, LiveDragStopsAtTheMarginsAndEscapeTakesItBack) {
    EXPECT_FALSE(split.escape_pressed());
    drag_by(-1000);
    EXPECT_EQ(split.left(), 50);
    EXPECT_EQ(host.moves,
              (std::vector<std::string>{"right", "bar", "left", "left", "bar", "right"}));
    split.mouse_move(10000);
    EXPECT_EQ(split.left(), 547);
    EXPECT_EQ(host.right_pane, (SplitRect{550, 0, 50, 400}));
    EXPECT_EQ(host.moves.back(), "left");
    EXPECT_TRUE(split.escape_pressed());
    EXPECT_FALSE(split.splitting());
    EXPECT_EQ(host.bar.x, 200);
    EXPECT_EQ(host.left_pane.width, 200);
    split.mouse_up(10000); // the button comes up after the cancel: nothing happens
    EXPECT_EQ(host.bar.x, 200);
    EXPECT_EQ(host.drags_ended, 1);

    // A released drag sets the proportion kept when the owner grows.
    drag_by(-100);
    split.mouse_up(0);
    EXPECT_EQ(host.drags_ended, 2);
    host.client.width = 1200;
    split.owner_resized();
    EXPECT_EQ(split.left(), 200);
    EXPECT_EQ(host.left_pane.width, 200);
}

TEST_F(SplitterTest, OutlineDragMovesNothingUntilRelease) {
    split.set_track_split(false);
    const auto before = host.moves.size();
    drag_by(100);
    EXPECT_EQ(host.moves.size(), before);
    EXPECT_EQ(host.inverted,
              (std::vector<SplitRect>{{201, 0, 3, 400}, {201, 0, 3, 400}, {300, 0, 3, 400}}));
    split.mouse_up(100);
    EXPECT_EQ(host.inverted.size(), 4u); // erased
    EXPECT_EQ(host.bar.x, 300);

    // A cancelled outline leaves no trace, not even at the next layout.
    drag_by(-200);
    split.cancel_split();
    EXPECT_EQ(host.inverted.size() % 2, 0u);
    host.client.height = 390;
    split.owner_resized();
    EXPECT_EQ(host.bar.x, 300);
}

TEST_F(SplitterTest, NothingMovesWhenMinimisedTooShortOrRefused) {
    const auto before = host.moves.size();
    host.is_minimised = true;
    host.client = {0, 0, 300, 400};
    split.owner_resized();
    host.is_minimised = false;
    host.client = {0, 0, 1200, 30};
    split.set_top(40);
    EXPECT_EQ(host.moves.size(), before);
    split.mouse_down(0); // nothing laid out to drag
    split.set_top(0);
    host.allow_drag = false;
    split.mouse_down(0);
    EXPECT_FALSE(split.splitting());

    host.allow_drag = true;
    {
        ui::cVSplitter abandoned{ui::SplitterMetrics{4, 1, 112}};
        abandoned.bind(host, false);
        abandoned.set_left(100);
        abandoned.mouse_down(0);
    }
    EXPECT_EQ(host.drags_ended, 1);
}

} // namespace
