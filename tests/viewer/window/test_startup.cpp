// Opening each program: the start-up frame, checked against the in-memory
// picture and by what a person can see without the project's core.
#include <chrono>
#include <thread>

#include "tests/viewer/window/viewer_test.h"

namespace e2e {
namespace {

using basin::GRID;
using basin::Picture;

class Opening : public EachProgram {};

// Counts the pixels of the square of half-side 4 around (x, y) that fail `is`.
template <class Is>
int offColour(const Picture& screen, int x, int y, Is is) {
  int off = 0;
  for (int dy = -4; dy <= 4; ++dy)
    for (int dx = -4; dx <= 4; ++dx) off += !is(screen.at(x + dx, y + dy));
  return off;
}

TEST_P(Opening, OpenTheProgramAndSeeTheExpectedPictureInEveryPixel) {
  // open() has compared the whole start-up frame with the model's; here the
  // window itself.
  EXPECT_EQ(session->title(), " Basinscope,  By Quorvel ");
  EXPECT_TRUE(startUp.size() == basin::Size{});
  // Its view line, printed after the first frame as after every one.
  EXPECT_NE(session->output().find("basinshot " + std::string(GetParam().name) +
                                   " --window -2 2 -2 2 -o view.png\n"),
            std::string::npos)
      << session->output();
}

TEST_P(Opening, OpenTheProgramAndItRestsOnceTheFrameIsDrawn) {
  const long before = session->cpuTicks();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const double used = support::XvfbProgram::ticksToSeconds(session->cpuTicks() - before);
  EXPECT_LE(used, 0.02) << "processor time used in 1.5 s of rest";
  EXPECT_TRUE(session->running());
}

INSTANTIATE_TEST_SUITE_P(, Opening, ::testing::Values(DUOBASIN, QUADBASIN),
                         [](const auto& p) { return std::string(p.param.name); });

// --window opens on that window, in the colours the unseen start-up frame
// gave the roots; `u` steps back to that start-up view.
class StartAnywhere : public ViewerTest {};
TEST_F(StartAnywhere, TheWindowAskedForOpensInTheColoursOfEverySession) {
  const basin::Window nearI{-0.5f, 0.5f, 0.25f, 1.25f};
  open(QUADBASIN, {}, &nearI);
  EXPECT_NE(session->output().find("basinshot quadbasin --window -0.5 0.5 0.25 1.25 -o view.png\n"),
            std::string::npos)
      << session->output();
  ASSERT_TRUE(session->pressAndWait(400, 400, "u", true).empty());
  ASSERT_TRUE(basin::stepBack(model->views));
  expectScreen({frame()}, "u");
}

TEST_F(Duobasin, OpenItAndSeeRedLeftOfTheImaginaryAxisGreenRightAndNoBlack) {
  // Every pixel shows a sample, column 0 and row 0 included; the imaginary
  // axis runs along the edge between pixel columns 399 and 400.
  int blackPixels = 0, wrongSide = 0;
  for (int y = 0; y < GRID; ++y) {
    for (int x = 0; x < GRID; ++x) {
      const std::uint8_t* c = startUp.at(x, y);
      blackPixels += black(c);
      wrongSide += x < 400 ? !red(c) : !green(c);
    }
  }
  EXPECT_EQ(blackPixels, 0);
  EXPECT_EQ(wrongSide, 0);
  // Darker bands towards the axis: the run from far away needs more steps.
  EXPECT_LT(startUp.at(390, 400)[0], startUp.at(200, 400)[0]);
  EXPECT_LT(startUp.at(410, 400)[1], startUp.at(600, 400)[1]);
}

TEST_F(Quadbasin, OpenItAndSeeTheFourRootsInTheirColoursAndABlackAntiDiagonal) {
  // The roots i, -i, -1, +1 lie at pixels (400, 200), (400, 600), (200, 400)
  // and (600, 400).
  EXPECT_EQ(offColour(startUp, 400, 200, red), 0) << "i";
  EXPECT_EQ(offColour(startUp, 400, 600, green), 0) << "-i";
  EXPECT_EQ(offColour(startUp, 200, 400, blue), 0) << "-1";
  EXPECT_EQ(offColour(startUp, 600, 400, yellow), 0) << "+1";
  // The samples on the line re = -im are those of row k, column k.
  int lit = 0;
  for (int k = 0; k < GRID; ++k) lit += !black(startUp.at(k, k));
  EXPECT_EQ(lit, 0);
}

}  // namespace
}  // namespace e2e
