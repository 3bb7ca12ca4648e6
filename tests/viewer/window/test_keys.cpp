// Navigating with the keyboard: each key typed into the real program with
// the pointer at a given place, the window checked against the in-memory
// model taken through the same commands.
#include <sys/wait.h>

#include <algorithm>

#include "tests/viewer/window/viewer_test.h"

namespace e2e {
namespace {

using basin::GRID;
using basin::Picture;
using basin::Pointer;

class Keys : public EachProgram {};

constexpr int CENTRE = GRID / 2;

TEST_P(Keys, ZoomAtTheCentreOutlinesTheMarkAndNothingElse) {
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "z"));
  ASSERT_TRUE(basin::zoom(model->views, Pointer{CENTRE, CENTRE}));
  // The mark runs from pixel 266 to 533 on both axes.
  const Picture marked = expectScreen(expectOutline(model->views, startUp), "z");
  EXPECT_EQ(marked.at(266, 300)[0], 255);
  EXPECT_EQ(marked.at(300, 533)[2], 255);
}

TEST_P(Keys, ZoomAtTheCentreThenApply) {
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "z"));
  ASSERT_TRUE(basin::zoom(model->views, Pointer{CENTRE, CENTRE}));
  expectScreen(expectOutline(model->views, startUp), "z");
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "d", true));
  basin::changewin(model->views);
  expectScreen({frame()}, "z-d");
}

TEST_P(Keys, ZoomOutAtTheCentreDrawsNoOutlineThenApply) {
  // The mark is three times the window around a point inside it, so its
  // edges lie outside the window: what a person sees is an unchanged screen.
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "Z"));
  expectScreen({startUp}, "Z");
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "d", true));
  // The mark was made all the same: d draws three times the width.
  ASSERT_TRUE(basin::zoomo(model->views, Pointer{CENTRE, CENTRE}));
  basin::changewin(model->views);
  EXPECT_EQ(model->views.XMIN(), -6.0f);
  expectScreen({frame()}, "Z-d");
}

TEST_P(Keys, RecentreAtTheTopLeftCornerIsOutlinedThenApply) {
  ASSERT_TRUE(typeKey(0, 0, "c"));
  ASSERT_TRUE(basin::recent(model->views, Pointer{0, 0}));
  // The mark (-4, 0) x (0, 4) shows as the two edges inside the window,
  // along the axes.
  expectScreen(expectOutline(model->views, startUp), "c");
  ASSERT_TRUE(typeKey(0, 0, "d", true));
  basin::changewin(model->views);
  expectScreen({frame()}, "c-d");
}

TEST_P(Keys, ZoomTwiceThenRestoreAndApplyShowsTheStartUpPictureAgain) {
  Picture screen = startUp;
  for (const Pointer at : {Pointer{200, 600}, Pointer{700, 150}}) {
    ASSERT_TRUE(typeKey(at.x, at.y, "z"));
    ASSERT_TRUE(typeKey(at.x, at.y, "d", true));
    ASSERT_TRUE(basin::zoom(model->views, at));
    basin::changewin(model->views);
    screen = expectScreen({frame()}, "z-d");
  }
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "r"));
  expectScreen({screen}, "r");  // r only marks
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "d", true));
  expectScreen({startUp}, "r-d");
}

TEST_P(Keys, WipeLeavesTheWindowBlackAndTheNextFrameCoversItAll) {
  // Re-centred at (700, 150), the accumulated sample positions drift across
  // pixel edges; every pixel still shows its own sample, none the black.
  ASSERT_TRUE(typeKey(700, 150, "c"));
  ASSERT_TRUE(typeKey(700, 150, "w"));
  expectScreen({basin::blankPicture(GRID)}, "w");
  ASSERT_TRUE(typeKey(700, 150, "d", true));
  ASSERT_TRUE(basin::recent(model->views, Pointer{700, 150}));
  basin::changewin(model->views);
  expectScreen({frame()}, "c-w-d");
}

TEST_P(Keys, UnlistedKeysChangeNothing) {
  // Keys are case-sensitive: D, W, R, C and X are not commands.
  for (const char* key : {"x", "D", "W", "R", "C", "X", "q", "1", "space", "Return", "Tab"})
    session->pressAt(CENTRE, CENTRE, key);
  ASSERT_TRUE(session->waitForRest());
  EXPECT_TRUE(session->running());
  expectScreen({startUp}, "unlisted");
  // Nothing was marked either: d redraws the start-up window.
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "d", true));
  expectScreen({startUp}, "unlisted-d");
}

TEST_P(Keys, EscapeEndsTheProgramWithStatusZero) { expectEscapeExitsCleanly(5); }

// Twenty-four zooms at the centre leave a window float can barely sample;
// the next mark is refused, said so on stderr, and draws no outline.
TEST_F(Duobasin, ARefusedMarkIsExplainedAndDrawsNothing) {
  std::vector<std::string> keys = {"xdotool",
                                   "mousemove",
                                   "--window",
                                   session->window(),
                                   std::to_string(CENTRE),
                                   std::to_string(CENTRE),
                                   "key"};
  for (int i = 0; i < 24; ++i) keys.insert(keys.end(), {"z", "d"});
  session->helper(keys);
  ASSERT_TRUE(session->waitForFrames(1 + 24));  // the start-up view, then the zooms
  ASSERT_TRUE(session->waitForRest());
  const Picture deepest = session->capture();
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "z"));
  expectScreen({deepest}, "refused");
  EXPECT_NE(session->output().find(
                "duobasin: zoom-in at (400, 400) refused: the window is too "
                "narrow for float to place 800 samples across it (--double goes deeper)\n"),
            std::string::npos)
      << session->output();
}

// Three marks leave one outline, the last, and a resize keeps it; then the
// mouse: a click, a drag and `u` each show what their keys show.
TEST_F(Duobasin, OnlyTheLiveMarkIsOutlinedAndTheMouseDoesWhatItsKeysDo) {
  for (const Pointer at : {Pointer{200, 200}, Pointer{600, 600}, Pointer{600, 600}})
    ASSERT_TRUE(typeKey(at.x, at.y, "z"));
  ASSERT_TRUE(basin::zoom(model->views, Pointer{600, 600}));
  const std::vector<Picture> marked = expectOutline(model->views, startUp);
  expectScreen(marked, "three-marks");
  session->helper({"xdotool", "windowsize", session->window(), "500", "500", "windowsize",
                   session->window(), "800", "800"});
  expectScreen(marked, "resized");

  const auto waitForFrame = [this](int frames) {
    return session->waitForFrames(frames) && session->waitForRest();
  };
  // While the button is held the square dragged is outlined, alone.
  session->helper({"xdotool", "mousemove", "--window", session->window(), "200", "200", "mousedown",
                   "1", "mousemove", "--window", session->window(), "299", "250"});
  ASSERT_TRUE(session->waitForEvents([](const std::vector<std::string>& e) {
    return std::find(e.begin(), e.end(), "drag 299 250") != e.end();
  }));
  ASSERT_TRUE(basin::markSquare(model->views, Pointer{200, 200}, Pointer{299, 250}));
  expectScreen(expectOutline(model->views, startUp), "dragging");
  session->helper({"xdotool", "mouseup", "1"});
  ASSERT_TRUE(waitForFrame(1 + 1));  // the start-up view, then the drag's
  basin::changewin(model->views);
  const Picture dragged = expectScreen({frame()}, "drag");

  session->clickAt(300, 500, 1);
  ASSERT_TRUE(waitForFrame(1 + 2));
  ASSERT_TRUE(basin::zoom(model->views, Pointer{300, 500}));
  basin::changewin(model->views);
  expectScreen({frame()}, "click");
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "u", true));
  expectScreen({dragged}, "u");
}

INSTANTIATE_TEST_SUITE_P(, Keys, ::testing::Values(DUOBASIN, QUADBASIN),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Quadbasin, ZoomThreeTimesAtTheCentreAndTheRootsKeepTheirColours) {
  Picture screen = startUp;
  for (int zoom = 1; zoom <= 3; ++zoom) {
    ASSERT_TRUE(typeKey(CENTRE, CENTRE, "z"));
    ASSERT_TRUE(typeKey(CENTRE, CENTRE, "d", true));
    ASSERT_TRUE(basin::zoom(model->views, Pointer{CENTRE, CENTRE}));
    basin::changewin(model->views);
    screen = expectScreen({frame()}, "zoom-" + std::to_string(zoom));
    // Starts on the axes run to the root on the same axis: up is i, down
    // -i, left -1, right +1, in their start-up colours.
    EXPECT_TRUE(red(screen.at(CENTRE, 100))) << "zoom " << zoom;
    EXPECT_TRUE(green(screen.at(CENTRE, 700))) << "zoom " << zoom;
    EXPECT_TRUE(blue(screen.at(100, CENTRE))) << "zoom " << zoom;
    EXPECT_TRUE(yellow(screen.at(700, CENTRE))) << "zoom " << zoom;
  }
  // Re-centred off the axes, the columns drift across pixel edges: each
  // pixel still shows its own sample, none a stripe of the frame before.
  ASSERT_TRUE(typeKey(700, 150, "c"));
  ASSERT_TRUE(typeKey(700, 150, "d", true));
  ASSERT_TRUE(basin::recent(model->views, Pointer{700, 150}));
  basin::changewin(model->views);
  expectScreen({frame()}, "c-d");
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "r"));
  ASSERT_TRUE(typeKey(CENTRE, CENTRE, "d", true));
  expectScreen({startUp}, "r-d");
}

}  // namespace
}  // namespace e2e
