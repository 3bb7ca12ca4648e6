// basinshot's pictures against the real viewer's window under Xvfb.
//
// Each program runs in its own Xvfb through the end-to-end tests' session;
// keys go in through xdotool, the window is captured with xwd after each
// replay, and basinshot replays the same keys from start-up. The window
// shows the sample of column i, row j (from 1) in pixel (i - 1, j - 1), in
// the colours of the PNG, so the two must agree in every pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/pictures.h"
#include "tests/support/process.h"
#include "tests/support/xvfb_program.h"
#include "viewer/overlay.h"
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

// Does what `c` stands for as a person would (a key, the wheel, a middle
// drag, a resize) and waits for the program to rest, after the frame of a
// command that draws one. Empty, or what did not happen.
std::string perform(support::XvfbProgram& screen, const Command& c) {
  const int frames = screen.framesPrinted();
  switch (c.key) {
    case RESIZE:
      return screen.resizeWindow(c.x, c.y) ? "" : "the resize was never taken";
    case PAN:
      screen.dragAt(c.x, c.y, c.x1, c.y1, 2);
      break;
    case WHEEL_IN:
    case WHEEL_OUT:
      screen.clickAt(c.x, c.y, c.key == WHEEL_IN ? 4 : 5);
      break;
    default: {
      const bool draws = c.key == 'd' || (c.key >= ARROW_LEFT && c.key <= ARROW_DOWN);
      return screen.pressAndWait(c.x, c.y, keyCommand(c.key)->label, draws);
    }
  }
  if (!screen.waitForFrames(frames + 1) || !screen.waitForRest()) return "no frame was drawn";
  return "";
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
    // Parsed after the history, for the window's size where it stands.
    std::vector<Command> before, commands;
    std::string error;
    ASSERT_TRUE(parseKeys(history, &before, &error)) << error;
    history += (history.empty() ? "" : " ") + replay;
    ASSERT_TRUE(parseKeys(history, &commands, &error)) << error;
    commands.erase(commands.begin(), commands.begin() + std::ptrdiff_t(before.size()));
    for (const Command& c : commands) ASSERT_EQ(perform(screen, c), "");

    const Picture picture = basinshot(shot + " --keys '" + history + "'");
    const Picture capture = screen.capture();
    ASSERT_TRUE(picture.size() == capture.size());
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

// At any size, after every gesture, the window is its print: the replayed
// session (size@, pan@, the wheel, an arrow) and the view line printed.
TEST(Capture, QuadbasinAtOtherSizesMatchesItsPrintAfterEveryGesture) {
  replayBoth({"quadbasin"}, "quadbasin",
             {"size@1000x600", "z@500,300 d", "pan@500,300-620,250",
              "wheelup@300,200 wheelup@300,200", "right", "size@601x1001", "wheeldown@100,900"});
}

// Types a key as xdotool names it, at (x, y), and waits for the rest.
void typeAt(support::XvfbProgram& screen, int x, int y, const std::string& key) {
  ASSERT_EQ(screen.pressAndWait(x, y, key == "?" ? "question" : key, false), "");
}

// Waits until the program has reported `what` once more than `before` times.
bool waitForEvent(support::XvfbProgram& screen, const std::string& what, long before) {
  return screen.waitForEvents([&](const std::vector<std::string>& e) {
    return std::count(e.begin(), e.end(), what) > before;
  });
}

// What lies over the window's picture is basinshot's for the same keys,
// but for the panel's last line, whose frame time the window alone gives;
// hidden again, the frame alone. `s` saves that frame under the next free
// number, and `S` prints what basinshot prints of the view.
TEST(Capture, CockpitSaveAndPrintAreBasinshotsPictures) {
  const std::string dir = ::testing::TempDir() + "cockpit";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  std::ofstream(dir + "/basinscope-0001.png") << "taken";
  support::XvfbProgram screen(::testing::TempDir() + "capture-cockpit",
                              {QUADBASIN_PATH, "--save-dir", dir, "--print-size", "120x90"});
  ASSERT_TRUE(screen.waitForStartUp());
  const Picture frame = screen.capture();
  for (const char* key : {"0", "o", "?"}) typeAt(screen, 230, 240, key);
  EXPECT_EQ(mismatches(screen.capture(), basinshot("quadbasin --keys '0 o@230,240 ?'")), 0u);
  typeAt(screen, 230, 240, "?");
  typeAt(screen, 230, 240, "i");
  const Picture panel = basinshot("quadbasin --keys '0 o@230,240 i'");
  const Picture under = basinshot("quadbasin --keys '0 o@230,240'");
  int bottom = 0;  // the panel's last row
  for (const auto& p : support::differences(panel, under)) bottom = std::max(bottom, p.second);
  for (const auto& p : support::differences(screen.capture(), panel))
    EXPECT_GT(p.second, bottom - lineHeight() - 4) << "at " << p.first << ", " << p.second;
  for (const char* key : {"i", "0"}) typeAt(screen, 230, 240, key);
  typeAt(screen, 230, 240, "s");  // the path still shows: the frame is saved without it
  ASSERT_TRUE(waitForEvent(screen, "saved", 0));
  EXPECT_EQ(mismatches(support::readPng(dir + "/basinscope-0002.png"), frame), 0u);
  typeAt(screen, 230, 240, "S");
  ASSERT_TRUE(waitForEvent(screen, "printed", 0));
  EXPECT_EQ(mismatches(support::readPng(dir + "/basinscope-0003.png"),
                       basinshot(lastView(screen) + " --size 120x90")),
            0u);
  EXPECT_EQ(support::readPng(dir + "/basinscope-0003.png").size(), (Size{120, 90}));
  std::ifstream taken(dir + "/basinscope-0001.png");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(taken), {}), "taken");
}

TEST(Capture, PolybasinMatchesTheWindow) {
  replayBoth({"polybasin", "-0.5z^3 + 0.5", "--extra", "0"}, "'-0.5z^3 + 0.5' --extra 0",
             {"", "c@100,100 d"});
}

}  // namespace
}  // namespace basin
