// Long random sessions: thousands of key commands, pointer anywhere in the
// window, with long runs of zoom-out and zoom-in that push the views to the
// limits of float. After every command the views must be drawable and the
// registry must hold only finite roots; at the end, restore and apply must
// give the start-up picture again, pixel for pixel.
//
// Frames during the session are drawn on a coarse grid (BASIN_GRID samples a
// side, 40 by default): a zoomed-out frame runs every sample to the iteration
// limit, and thousands of commands at 800 x 800 would take hours. The view
// windows do not depend on the grid, and the final frame is the viewer's own
// 800 x 800 one. BASIN_SEED and BASIN_COMMANDS choose the session; a failure
// prints all three so the same session can be run again.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/programs.h"
#include "tests/support/process.h"
#include "viewer/shot.h"

namespace basin {
namespace {

class Script {
 public:
  explicit Script(unsigned long seed) : random_(seed) {}

  // `count` commands: single keys most of the time, now and then a long run
  // of one zoom applied again and again.
  std::vector<Command> make(int count, bool longRuns = true) {
    std::vector<Command> commands;
    while (int(commands.size()) < count) {
      const int pick = below(100);
      if (longRuns && pick < 3) {
        run(&commands, 'Z', 40 + below(60));
      } else if (longRuns && pick < 6) {
        run(&commands, 'z', 10 + below(30));
      } else {
        commands.push_back(single());
      }
    }
    commands.resize(count);
    return commands;
  }

 private:
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  // Edges, corners and the centre are as likely as any other position.
  int coordinate() {
    static const int special[] = {0, 1, 399, 400, 798, 799};
    return below(3) == 0 ? special[below(6)] : below(GRID);
  }

  // Whether a key acts on the views: not one that draws over the picture
  // or saves it.
  static bool movesViews(const KeyCommand& key) {
    switch (key.action) {
      case KeyAction::Info:
      case KeyAction::Path:
      case KeyAction::Rings:
      case KeyAction::Help:
      case KeyAction::Save:
        return false;
      default:
        return true;
    }
  }

  // Every key of a script from the key table that moves the views; `d` is rarer than the
  // marks, since every `d` draws a whole frame.
  Command single() {
    static const std::vector<int> keys = [] {
      std::vector<int> weighted;
      for (std::size_t i = 0; i < KEY_COUNT; ++i)
        if (scriptable(KEYS[i]) && movesViews(KEYS[i]))
          weighted.insert(weighted.end(),
                          KEYS[i].takesPointer ? 3
                          : KEYS[i].key == 'd' ? 1
                                               : 2,
                          KEYS[i].key);
      return weighted;
    }();
    return Command{keys[std::size_t(below(int(keys.size())))], coordinate(), coordinate()};
  }

  void run(std::vector<Command>* commands, char key, int rounds) {
    const int x = coordinate(), y = coordinate();
    for (int i = 0; i < rounds; ++i) {
      commands->push_back(Command{key, x, y});
      commands->push_back(Command{'d', 0, 0});
    }
  }

  std::mt19937_64 random_;
};

std::string describe(const Command& c) {
  std::ostringstream out;
  const KeyCommand* command = keyCommand(c.key);
  out << command->word;
  if (command->takesPointer) out << '@' << c.x << ',' << c.y;
  return out.str();
}

::testing::AssertionResult drawable(double lo, double hi) {
  if (std::isfinite(lo) && std::isfinite(hi) && lo < hi) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "edges " << lo << " .. " << hi;
}

void checkState(const Session& s) {
  const Window& v = s.current();
  const Window& pending = s.pending();
  EXPECT_TRUE(drawable(v.xmin, v.xmax));
  EXPECT_TRUE(drawable(v.ymin, v.ymax));
  EXPECT_TRUE(drawable(pending.xmin, pending.xmax));
  EXPECT_TRUE(drawable(pending.ymin, pending.ymax));
  EXPECT_TRUE(s.resolves(v, s.size()));
  const Registry& r = s.registry();
  for (int i = 0; i < r.store; ++i)
    EXPECT_TRUE(std::isfinite(r.ROOTS[i].re) && std::isfinite(r.ROOTS[i].im)) << "slot " << i;
}

void randomSession(const Variant& variant, unsigned long seed, int count) {
  const int grid = int(support::envNumber("BASIN_GRID", 40));
  SCOPED_TRACE("BASIN_SEED=" + std::to_string(seed) + " BASIN_COMMANDS=" + std::to_string(count) +
               " BASIN_GRID=" + std::to_string(grid));
  HeadlessViewer start(variant);
  drawFrame(start);

  HeadlessViewer session(variant);
  drawFrame(session);
  const std::vector<Command> commands = Script(seed).make(count);
  int refusedIn = 0, refusedOut = 0;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const bool refused = replay(session, commands[i], nullptr, Size{grid, grid}) == Effect::Refused;
    if (commands[i].key == 'z' && refused) ++refusedIn;
    if (commands[i].key == 'Z' && refused) ++refusedOut;
    checkState(*session.session);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "after command " << i << ": " << describe(commands[i]);
      return;
    }
  }
  // The long runs must have reached both limits, or they tested nothing.
  EXPECT_GT(refusedIn, 0);
  EXPECT_GT(refusedOut, 0);
  replay(session, Command{'r', 0, 0});
  replay(session, Command{'d', 0, 0});
  EXPECT_TRUE(session.picture.rgb == start.picture.rgb)
      << "restore and apply did not give the start-up picture";
  EXPECT_LE(session.session->registry().store, session.session->registry().limit);
}

// Whether a command draws a frame whenever it is not refused: `d` and the
// arrows, which the full-size sessions below keep few of.
bool drawsAtOnce(const Command& c) {
  return c.key == 'd' || (c.key >= ARROW_LEFT && c.key <= ARROW_DOWN);
}

// The same kind of session through the basinshot program itself, every frame
// at full size: fewer commands, since each `d` draws 640 000 samples.
void basinshotSession(const char* program, unsigned long seed) {
  SCOPED_TRACE("BASIN_SEED=" + std::to_string(seed));
  std::string script;
  for (const Command& c : Script(seed).make(400, false))
    if (!drawsAtOnce(c) || seed++ % 40 == 0) script += describe(c) + ' ';
  script += "r d";
  const std::string basinshot = BASINSHOT;
  const support::Result home = support::run({basinshot, program, "-o", "-"});
  // A sanitizer build takes about a minute over the script; the test's own
  // limit is the one that counts.
  const support::Result back =
      support::run({basinshot, program, "--keys", script, "-o", "-"}, {}, 500);
  ASSERT_EQ(home.status, 0) << home.err;
  ASSERT_EQ(back.status, 0) << back.err << script;
  EXPECT_FALSE(home.out.empty());
  EXPECT_TRUE(back.out == home.out) << "keys: " << script;
}

TEST(RandomSession, BasinshotComesHomeAfterARandomScript) {
  const unsigned long seed = support::envNumber("BASIN_SEED", 20261208);
  basinshotSession("duobasin", seed);
  basinshotSession("quadbasin", seed + 1);
}

TEST(RandomSession, DuobasinKeepsDrawingAndComesHome) {
  randomSession(DUOBASIN, support::envNumber("BASIN_SEED", 20261208),
                int(support::envNumber("BASIN_COMMANDS", 3000)));
}

TEST(RandomSession, QuadbasinKeepsDrawingAndComesHome) {
  randomSession(QUADBASIN, support::envNumber("BASIN_SEED", 20261208) + 1,
                int(support::envNumber("BASIN_COMMANDS", 3000)));
}

}  // namespace
}  // namespace basin
