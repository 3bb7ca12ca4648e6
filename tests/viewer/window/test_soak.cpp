// Long random sessions and a resized window, in the real program.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "tests/viewer/window/viewer_test.h"
#include "viewer/shot.h"

namespace e2e {
namespace {

using basin::GRID;
using basin::Picture;

class Soak : public EachProgram {};

// BASIN_SEED and BASIN_XCOMMANDS choose the session. Commands go out in
// batches of ten per xdotool run without waiting for frames, so keys arrive
// while frames are drawn; Xvfb auto-repeats a key held over 660 ms, every
// 40 ms.
TEST_P(Soak, RandomKeysThenRestoreGivesTheStartUpPicture) {
  const unsigned long seed = support::envNumber("BASIN_SEED", std::random_device{}());
  const unsigned long count = support::envNumber("BASIN_XCOMMANDS", 300);
  SCOPED_TRACE("BASIN_SEED=" + std::to_string(seed) + " BASIN_XCOMMANDS=" + std::to_string(count));
  std::mt19937 random(seed);
  const auto pick = [&random](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const std::vector<std::string> keys = {"z", "Z", "c", "r",  "d",     "w",
                                         "x", "D", "1", "F1", "space", "Tab"};
  unsigned long sent = 0;
  while (sent < count) {
    std::vector<std::string> batch = {"xdotool"};
    for (int i = 0; i < 10 && sent < count; ++i, ++sent) {
      // One coordinate in four on an edge of the window.
      const auto at = [&pick] {
        const std::size_t r = pick(8);
        return std::to_string(r == 0 ? 0 : r == 1 ? GRID - 1 : int(pick(GRID)));
      };
      batch.insert(batch.end(), {"mousemove", "--window", session->window(), at(), at()});
      const std::string key = keys[pick(keys.size())];
      switch (pick(50)) {
        case 0:  // held until it repeats
          batch.insert(batch.end(), {"keydown", key, "sleep", "0.9", "keyup", key});
          break;
        case 1: {  // a run of zooms, in or out
          const std::string zoom = keys[pick(2)];
          batch.push_back("key");
          for (std::size_t n = 2 + pick(4); n > 0; --n) batch.insert(batch.end(), {zoom, "d"});
          break;
        }
        case 2:
          batch.insert(batch.end(), {"key", "d", "d", "d"});
          break;
        default:
          batch.insert(batch.end(), {"key", key});
      }
    }
    session->helper(batch);
    ASSERT_TRUE(session->running()) << "died after " << sent << " commands";
  }
  ASSERT_TRUE(session->waitForRest(0, 120)) << "still busy or dead after the commands";
  // An outline on the window's left edge may light pixel column 0, which no
  // frame draws; the wipe gives it back its start-up black.
  ASSERT_TRUE(typeKey(GRID / 2, GRID / 2, "w"));
  ASSERT_TRUE(typeKey(GRID / 2, GRID / 2, "r"));
  ASSERT_TRUE(typeKey(GRID / 2, GRID / 2, "d", true));
  expectScreen({startUp}, "r-d");
  expectEscapeExitsCleanly(10);
}

INSTANTIATE_TEST_SUITE_P(, Soak, ::testing::Values(DUOBASIN, QUADBASIN),
                         [](const auto& p) { return std::string(p.param.name); });

// A settled size draws the view fitted to the window, one sample a pixel,
// as the model draws it at that size: more of the plane across a wide
// window, more of it up a tall one. Back at 800 x 800 it is the start-up
// picture, bit for bit. Widths not a multiple of 4 test GL's row packing.
TEST_F(Quadbasin, AWindowResizedToAnyShapeAndBackShowsTheSamePicture) {
  for (const basin::Size size : {basin::Size{1000, 600}, {601, 1001}, {1001, 601}, {800, 800}}) {
    const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    ASSERT_TRUE(session->resizeWindow(size.width, size.height)) << label;
    ASSERT_TRUE(basin::resize(model->views, size));
    expectScreen({frame()}, label);
  }
  expectScreen({startUp}, "back-to-800x800");
}

// The mark survives the resize, in the plane: outlined over the frame of
// the new size, and applied by `d` there.
TEST_F(Quadbasin, AResizeDrawsTheNewSizeAndKeepsTheMark) {
  ASSERT_TRUE(typeKey(GRID / 2, GRID / 2, "z"));
  ASSERT_TRUE(basin::zoom(model->views, basin::Pointer{GRID / 2, GRID / 2}));
  ASSERT_TRUE(session->resizeWindow(1001, 601));  // the outline on no pixel's edge
  ASSERT_TRUE(basin::resize(model->views, {1001, 601}));
  const Picture resized = frame();
  expectScreen(expectOutline(model->views, resized), "resized");
  ASSERT_TRUE(typeKey(500, 300, "d", true));
  basin::changewin(model->views);
  expectScreen({frame()}, "resized-d");
}

// A window resized during a drag: the square shows again at once, and it
// follows the pointer as the screen shows it. Pressed at (200, 200) of the
// 800 x 800 picture and released 125 pixels to the right of where that
// point now lies in a 1000 x 1000 window, the drag spans 100 of the
// picture's pixels, as drag@200,200-300,200 does.
TEST_F(Quadbasin, ADragFollowsThePointerThroughAResize) {
  const std::string& window = session->window();
  session->helper({"xdotool", "mousemove", "--window", window, "200", "200", "mousedown", "1",
                   "mousemove", "--window", window, "300", "200"});
  ASSERT_TRUE(session->waitForEvents([](const std::vector<std::string>& e) {
    return std::find(e.begin(), e.end(), "drag 300 200") != e.end();
  }));
  ASSERT_TRUE(session->resizeWindow(1000, 1000));
  const Picture resized = session->capture();
  long white = 0;
  for (int y = 0; y < resized.height; ++y)
    for (int x = 0; x < resized.width; ++x)
      white +=
          resized.at(x, y)[0] == 255 && resized.at(x, y)[1] == 255 && resized.at(x, y)[2] == 255;
  // The pointer, still at (300, 200), spans 50 pixels from where the press
  // point now lies, (250, 250): the square's outline is 4 sides of 50.
  EXPECT_GE(white, 4 * 49) << "the dragged square was not shown again after the resize";
  session->helper({"xdotool", "mousemove", "--window", window, "375", "250", "mouseup", "1"});
  ASSERT_TRUE(session->waitForFrames(1 + 1));
  ASSERT_TRUE(session->waitForRest());
  ASSERT_TRUE(session->resizeWindow(800, 800));
  ASSERT_TRUE(basin::markSquare(model->views, basin::Pointer{200, 200}, basin::Pointer{300, 200}));
  basin::changewin(model->views);
  expectScreen({frame()}, "drag-through-resize");
}

// Keys typed while frames are drawn wait for them and then take effect in
// order, each at the pointer position it was typed at.
TEST_F(Quadbasin, KeysTypedDuringFramesTakeEffectAfterThemInOrder) {
  const std::string& window = session->window();
  session->helper({"xdotool", "mousemove", "--window", window, "400", "400", "key", "z", "d", "z",
                   "d", "mousemove", "--window", window, "300", "500", "key", "z", "d"});
  ASSERT_TRUE(session->waitForFrames(1 + 3));  // the start-up view, then the three
  ASSERT_TRUE(session->waitForRest());
  Picture expected;
  for (const basin::Pointer at : {basin::Pointer{400, 400}, {400, 400}, {300, 500}}) {
    ASSERT_TRUE(basin::zoom(model->views, at));
    basin::changewin(model->views);
    expected = frame();
  }
  expectScreen({expected}, "z-d-z-d-z-d");
}

// Frames made slow: one thread without the vector lanes, and many zooms
// out, so that every run needs many steps.
class SlowQuadbasin : public ViewerTest {
 protected:
  void SetUp() override { open(QUADBASIN, {"BASIN_THREADS=1", "BASIN_LANES=scalar"}); }
};

TEST_F(SlowQuadbasin, EscapeEndsTheProgramAtOnceEvenDuringASlowFrame) {
  const int frames = session->framesDrawn();
  session->helper({"xdotool", "mousemove", "--window", session->window(), "400", "400", "key", "Z",
                   "d", "Z", "d", "Z", "d", "Z", "d", "Z", "d", "Z", "d"});
  // Once the first of the six frames is finished, the next one is drawn.
  ASSERT_TRUE(session->waitForEvents([frames](const std::vector<std::string>& events) {
    return std::count_if(events.begin(), events.end(),
                         [](const std::string& e) { return e.rfind("frame ", 0) == 0; }) > frames;
  }));
  ASSERT_NE(session->events().back(), "ready") << "no frame was being drawn";
  const int before = session->framesComputed();
  session->helper({"xdotool", "key", "Escape"});
  int status = -1;
  ASSERT_TRUE(session->waitForExit(30, &status)) << "still running 30 s after Escape";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The frame under way may end; none of those still queued may start.
  EXPECT_LE(session->framesComputed(), before + 1) << "frames were drawn after Escape";
}

// Forty wheel notches scrolled during a slow frame all wait their turn,
// each drawing its own frame: the window ends on the picture of their forty
// words.
TEST_F(SlowQuadbasin, ABurstOfWheelNotchesDuringAFrameIsTakenWhole) {
  std::vector<std::string> burst = {
      "xdotool", "mousemove", "--window", session->window(), "400", "400", "key",
      "d",       "mousemove", "--window", session->window(), "400", "400"};
  std::string words;
  for (int i = 0; i < 40; ++i) {  // 13 zooms of 3, well within float's depth at 0
    burst.insert(burst.end(), {"click", "4"});
    words += "wheelup@400,400 ";
  }
  session->helper(burst);
  ASSERT_TRUE(session->waitForFrames(1 + 1 + 40, 120));
  ASSERT_TRUE(session->waitForRest(0, 60));
  basin::Shot shot;
  std::string error;
  ASSERT_TRUE(basin::parseKeys(words, &shot.keys, &error)) << error;
  expectScreen({basin::takeShot(basin::QUADBASIN, shot)}, "forty-notches");
  EXPECT_EQ(session->output().find("dropped"), std::string::npos) << session->output();
}

// Sixty re-centres and frames typed far faster than frames are drawn, then
// Escape: the program takes in the keys that have arrived before each
// queued key and at the end of each frame, so Escape ends it within a
// frame's time, long before the burst is worked off. The frames drawn tell
// the fault apart whatever the machine's load: all sixty without the
// intake, a handful with it.
TEST_F(SlowQuadbasin, EscapeBehindABurstOfKeysEndsTheProgramAtOnce) {
  std::string burst;
  for (int i = 0; i < 60; ++i) burst += "cd";
  session->helper({"xdotool", "mousemove", "--window", session->window(), "400", "400", "type",
                   "--delay", "1", burst});
  session->helper({"xdotool", "key", "Escape"});
  int status = -1;
  ASSERT_TRUE(session->waitForExit(30, &status)) << "still running 30 s after Escape";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const int frames = session->framesDrawn();
  EXPECT_LT(frames, 30) << "the burst's frames were drawn before Escape";
  EXPECT_EQ(session->events().back(), "key 27") << "Escape was not the last key taken in";
}

// A held key is one key: after three seconds of `d` the program is at rest
// within a second of the release.
TEST_P(Soak, AHeldKeyQueuesNoWork) {
  session->helper({"xdotool", "mousemove", "--window", session->window(), "400", "400", "keydown",
                   "d", "sleep", "3", "keyup", "d"});
  EXPECT_TRUE(session->waitForRest(0, 1.4)) << "still busy 1 s after the release";
  expectScreen({startUp}, "held-d");
}

}  // namespace
}  // namespace e2e
