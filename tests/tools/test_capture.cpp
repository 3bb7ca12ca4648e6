// basinshot's pictures against the real viewer's window under Xvfb.
//
// Each program runs in its own Xvfb through the end-to-end tests' session;
// keys go in through xdotool, the window is captured with xwd after each
// replay, and basinshot replays the same keys from start-up. The window
// shows the sample of column i, row j (from 1) in pixel (i - 1, j - 1), in
// the colours of the PNG, so the two must agree in every pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/pictures.h"
#include "tests/support/process.h"
#include "tests/support/xvfb_program.h"
#include "viewer/shot.h"

namespace basin {
namespace {

// The built viewer of that name.
std::string viewerPath(const std::string& name) {
  return name == "duobasin" ? DUOBASIN_PATH : name == "quadbasin" ? QUADBASIN_PATH : POLYBASIN_PATH;
}

// Runs basinshot with `arguments` (shell words) and reads its picture.
Picture basinshot(const std::string& arguments) {
  const std::string out = ::testing::TempDir() + "capture.png";
  const std::string command = std::string(BASINSHOT) + " " + arguments + " -o " + out;
  const support::Result r = support::run({"sh", "-c", command});
  EXPECT_EQ(r.status, 0) << command << ": " << r.err;
  return support::readPng(out);
}

// The last view the viewer printed, as basinshot's arguments without -o.
std::string lastView(const support::XvfbProgram& screen) {
  const std::string out = screen.output();
  const std::size_t line = out.rfind("basinshot ");
  const std::size_t end = out.find(" -o view.png", line);
  if (line == std::string::npos || end == std::string::npos) return "";
  return out.substr(line + 10, end - line - 10);
}

// Pixels of the capture that differ from the picture.
std::size_t mismatches(const Picture& capture, const Picture& picture) {
  return support::differences(capture, picture).size();
}

// `program` is the viewer's name, then its arguments; `shot` the same
// program as basinshot's words take it.
void replayBoth(const std::vector<std::string>& viewer, const std::string& shot,
                const std::vector<std::string>& replays) {
  const std::string program = viewer[0];
  std::vector<std::string> command = viewer;
  command[0] = viewerPath(program);
  support::XvfbProgram screen(::testing::TempDir() + "capture-" + program, command);
  ASSERT_TRUE(screen.waitForStartUp());
  std::string history;
  for (const std::string& replay : replays) {
    SCOPED_TRACE(program + " after '" + history + "' + '" + replay + "'");
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(parseKeys(replay, &commands, &error)) << error;
    for (const Command& c : commands)
      ASSERT_EQ(screen.pressAndWait(c.x, c.y, std::string(1, c.key), c.key == 'd'), "");
    history += (history.empty() ? "" : " ") + replay;

    const Picture picture = basinshot(shot + " --keys '" + history + "'");
    ASSERT_EQ(picture.size, GRID);
    const Picture capture = screen.capture();
    EXPECT_EQ(mismatches(capture, picture), 0u);
    const bool wiped = !commands.empty() && commands.back().key == 'w';
    EXPECT_EQ(support::allBlack(picture), wiped);
    // The view the viewer printed draws the same picture.
    if (!commands.empty() && !wiped) {
      EXPECT_EQ(mismatches(capture, basinshot(lastView(screen))), 0u);
    }
  }
}

TEST(Capture, DuobasinMatchesTheWindow) {
  replayBoth({"duobasin"}, "duobasin", {"", "z@400,400 d", "r d Z@400,400 d", "w"});
}

TEST(Capture, QuadbasinMatchesTheWindow) {
  // Three zooms at the centre bring in the runs that overflow near the
  // origin; the roots keep their colours in both.
  replayBoth({"quadbasin"}, "quadbasin",
             {"", "z@400,400 d z@400,400 d z@400,400 d", "r d z@200,600 d", "w"});
}

// With --double the zooms at x = 1 go on past float's seventh, and the view
// line's 17 digits an edge draw the very window again.
TEST(Capture, QuadbasinInDoubleMatchesTheWindowBeyondFloatsDepth) {
  std::string fourZooms;
  for (int i = 0; i < 4; ++i) fourZooms += "z@600,400 d ";
  replayBoth({"quadbasin", "--double"}, "quadbasin --double",
             {"", fourZooms, fourZooms + "z@600,400 d"});
}

TEST(Capture, PolybasinMatchesTheWindow) {
  replayBoth({"polybasin", "-0.5z^3 + 0.5", "--extra", "0"}, "'-0.5z^3 + 0.5' --extra 0",
             {"", "c@100,100 d"});
}

}  // namespace
}  // namespace basin
