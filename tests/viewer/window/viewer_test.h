// The fixture of the end-to-end tests: a real program under its own X
// server, next to an in-memory model of the same program that is taken
// through the same navigation, so each screen can be checked pixel by pixel.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cctype>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/programs.h"
#include "tests/support/xvfb_program.h"
#include "tests/viewer/window/expect.h"
#include "viewer/basin.h"

namespace e2e {

struct Program {
  const char* name;
  const char* path;  // the built executable, handed over by the build
  const basin::Variant* variant;
};

inline const Program DUOBASIN{"duobasin", DUOBASIN_PATH, &basin::DUOBASIN};
inline const Program QUADBASIN{"quadbasin", QUADBASIN_PATH, &basin::QUADBASIN};

inline std::ostream& operator<<(std::ostream& out, const Program& p) { return out << p.name; }

class ViewerTest : public ::testing::Test {
 protected:
  // Opens `program`, waits for its start-up frame and checks it against the
  // model's in every pixel; `startUp` then holds the screen. `environment`
  // entries NAME=value go to the program. With `start`, the program opens
  // there (--window), the model after its unseen start-up frame.
  void open(const Program& program, const std::vector<std::string>& environment = {},
            const basin::Window* start = nullptr) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Logs and the pictures of a failed comparison go to e2e-output/.
    mkdir("e2e-output", 0755);
    label_ = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : label_)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') c = '-';
    label_ = "e2e-output/" + label_;
    std::vector<std::string> command{program.path};
    if (start)
      for (const double edge : {start->xmin, start->xmax, start->ymin, start->ymax})
        command.push_back(std::to_string(edge));
    if (start) command.insert(command.begin() + 1, "--window");
    session = std::make_unique<support::XvfbProgram>(label_, command, environment);
    model = std::make_unique<basin::Basin>(*program.variant);
    basin::setup(*model);
    if (start) {
      expectFrame(*model);
      ASSERT_TRUE(basin::markWindow(model->views, *start));
      basin::changewin(model->views);
    }
    ASSERT_TRUE(session->waitForStartUp()) << "the start-up frame never ended";
    startUp = expectScreen({expectFrame(*model)}, "start-up");
  }

  // Moves the pointer to (x, y), types `key` and waits for the program to
  // rest; for a key that draws a frame, first for the view it prints once
  // the frame is on the screen.
  ::testing::AssertionResult typeKey(int x, int y, const std::string& key,
                                     bool drawsFrame = false) {
    const std::string fault = session->pressAndWait(x, y, key, drawsFrame);
    if (fault.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << fault;
  }

  // Captures until the screen is one of `options` or time runs out, then
  // records any difference; returns the last capture.
  basin::Picture expectScreen(const std::vector<basin::Picture>& options, const std::string& step) {
    basin::Picture screen = session->capture();
    // A window just moved or resized draws again once the X server asks:
    // each retry waits a moment for that frame.
    for (int attempt = 0; attempt < 10 && !compare(screen, options).empty(); ++attempt) {
      session->waitForRest(session->framesDrawn() + 1, 0.5);
      screen = session->capture();
    }
    const std::string difference = compare(screen, options, label_ + "-" + step);
    EXPECT_TRUE(difference.empty()) << "after " << step << ": " << difference;
    return screen;
  }

  // Escape with the pointer in the window must end the program, status 0.
  void expectEscapeExitsCleanly(double seconds) {
    session->pressAt(basin::GRID / 2, basin::GRID / 2, "Escape");
    int status = -1;
    ASSERT_TRUE(session->waitForExit(seconds, &status)) << "Escape did not end it";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  // The model's frame of its current window.
  basin::Picture frame() { return expectFrame(*model); }

  std::unique_ptr<support::XvfbProgram> session;
  std::unique_ptr<basin::Basin> model;
  basin::Picture startUp;

 private:
  std::string label_;
};

// Colour classes a person tells apart: black, and shades of the palette's
// first four colours.
inline bool black(const std::uint8_t* c) { return c[0] == 0 && c[1] == 0 && c[2] == 0; }
inline bool red(const std::uint8_t* c) { return c[0] > 0 && c[1] == 0 && c[2] == 0; }
inline bool green(const std::uint8_t* c) { return c[0] == 0 && c[1] > 0 && c[2] == 0; }
inline bool blue(const std::uint8_t* c) { return c[0] == 0 && c[1] == 0 && c[2] > 0; }
inline bool yellow(const std::uint8_t* c) { return c[0] > 0 && c[0] == c[1] && c[2] == 0; }

// Tests that hold for both programs.
class EachProgram : public ViewerTest, public ::testing::WithParamInterface<Program> {
 protected:
  void SetUp() override { open(GetParam()); }
};

class Duobasin : public ViewerTest {
 protected:
  void SetUp() override { open(DUOBASIN); }
};

class Quadbasin : public ViewerTest {
 protected:
  void SetUp() override { open(QUADBASIN); }
};

}  // namespace e2e
