// basinshot's pictures against the real viewer's window under Xvfb.
//
// Each program runs in its own Xvfb through the end-to-end tests' session;
// keys go in through xdotool, the window is captured with xwd after each
// replay, and basinshot replays the same keys from start-up. The window
// shows the sample of column i, row j (from 1) in pixel (i - 1, j - 1), in
// the colours of the PNG, so the two must agree in every pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tests/e2e/session.h"
#include "tests/shot/raster.h"
#include "viewer/replay.h"

namespace basin {
namespace {

const std::string BUILD = BUILD_DIR;

Raster basinshot(const std::string& program, const std::string& keys) {
  const std::string out = ::testing::TempDir() + "capture-" + program + ".png";
  const std::string command = BUILD + "/basinshot " + program + " --keys '" + keys + "' -o " + out;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return readPng(out);
}

// Pixels of the capture that differ from the picture.
int mismatches(const Picture& capture, const Raster& picture) {
  int count = 0;
  for (int y = 0; y < GRID; ++y)
    for (int x = 0; x < GRID; ++x)
      count += !std::equal(capture.at(x, y), capture.at(x, y) + 3, picture.at(x, y));
  return count;
}

bool black(const Raster& r) {
  for (const std::uint8_t v : r.rgb)
    if (v != 0) return false;
  return true;
}

// A frame is 640 000 solver runs; none takes less processor time than this.
constexpr double MIN_FRAME_SECONDS = 0.05;

void replayBoth(const std::string& program, const std::vector<std::string>& replays) {
  e2e::Session screen(::testing::TempDir() + "capture-" + program, BUILD + "/" + program);
  ASSERT_TRUE(screen.waitForRest(0, MIN_FRAME_SECONDS));
  std::string history;
  for (const std::string& replay : replays) {
    SCOPED_TRACE(program + " after '" + history + "' + '" + replay + "'");
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(parseKeys(replay, &commands, &error)) << error;
    for (const Command& c : commands) {
      const long before = screen.cpuTicks();
      screen.pressAt(c.x, c.y, std::string(1, c.key));
      ASSERT_TRUE(screen.waitForRest(before, c.key == 'd' ? MIN_FRAME_SECONDS : 0));
    }
    history += (history.empty() ? "" : " ") + replay;

    const Raster shot = basinshot(program, history);
    ASSERT_EQ(shot.width, GRID);
    const Picture capture = screen.capture();
    EXPECT_EQ(mismatches(capture, shot), 0);
    EXPECT_EQ(black(shot), commands.empty() ? false : commands.back().key == 'w');
  }
}

TEST(Capture, DuobasinMatchesTheWindow) {
  replayBoth("duobasin", {"", "z@400,400 d", "r d Z@400,400 d", "w"});
}

TEST(Capture, QuadbasinMatchesTheWindow) {
  // Three zooms at the centre bring in the runs that overflow near the
  // origin; the roots keep their colours in both.
  replayBoth("quadbasin", {"", "z@400,400 d z@400,400 d z@400,400 d", "r d z@200,600 d", "w"});
}

}  // namespace
}  // namespace basin
