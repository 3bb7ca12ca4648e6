// Key scripts, the shared key table and headless sessions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "bench/allocations.h"
#include "core/programs.h"
#include "tests/support/pictures.h"
#include "viewer/reference_walk.h"
#include "viewer/shot.h"

namespace basin {
namespace {

bool sameCell(const Picture& a, int ax, int ay, const Picture& b, int bx, int by) {
  return support::samePixel(a.at(ax, ay), b.at(bx, by));
}

using support::allBlack;

std::vector<Command> keys(const std::string& text) {
  std::vector<Command> commands;
  std::string error;
  EXPECT_TRUE(parseKeys(text, &commands, &error)) << error;
  return commands;
}

TEST(ParseKeys, ReadsKeysAndPointerPositions) {
  const std::vector<Command> c = keys("z@400,400 d\tZ@100,700\n d  r d w c@0,799 z@799,0");
  ASSERT_EQ(c.size(), 9u);
  EXPECT_EQ(c[0].key, 'z');
  EXPECT_EQ(c[0].x, 400);
  EXPECT_EQ(c[0].y, 400);
  EXPECT_EQ(c[2].key, 'Z');
  EXPECT_EQ(c[2].x, 100);
  EXPECT_EQ(c[2].y, 700);
  std::string letters;
  for (const int i : {1, 3, 4, 5, 6}) letters += static_cast<char>(c[std::size_t(i)].key);
  EXPECT_EQ(letters, "ddrdw");
  EXPECT_EQ(c[7].key, 'c');
  EXPECT_EQ(c[7].y, 799);
  EXPECT_EQ(c[8].x, 799);
  EXPECT_TRUE(keys("").empty());
  EXPECT_TRUE(keys("  \n ").empty());
}

TEST(ParseKeys, RejectsEveryMalformedKeyNamingIt) {
  const char* bad[] = {"q",       "D",       "dd",        "z",        "z@",      "z@1",
                       "z@1,",    "z@,1",    "z@-1,5",    "z@+1,5",   "z@1.5,2", "z@1,2,3",
                       "z@800,0", "z@0,800", "z@99999,1", "Z400,400", "c@a,b",   "r@1,2",
                       "w@0,0",   "d@",      "z@0x1,1",   "z@１,1"};
  for (const char* token : bad) {
    std::vector<Command> commands{Command{}};
    std::string error;
    const std::string script = std::string("r d ") + token + " d";
    EXPECT_FALSE(parseKeys(script, &commands, &error)) << token;
    EXPECT_TRUE(commands.empty()) << token;
    EXPECT_NE(error.find(std::string("key 3 '") + token + "'"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(ParseKeys, ReadsAKeyFileWithCommentsAndNamesTheLineOfAnError) {
  const std::vector<Command> c = keys("# zoom twice\nz@400,400 d#first\n\n  z@1,2\td # again\n#");
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[2].x, 1);
  EXPECT_EQ(c[3].key, 'd');
  std::vector<Command> commands;
  std::string error;
  EXPECT_FALSE(parseKeys("z@1,1 d\n# q is no key\n\nr q\n", &commands, &error));
  EXPECT_EQ(error.substr(0, 24), "key 4 'q' on line 4: unk") << error;
  // A file that begins with a byte-order mark reads as if it were absent;
  // anywhere else the mark is a bad word, named so that it shows.
  const auto readFile = [&](std::string text) {
    std::FILE* file = fmemopen(text.data(), text.size(), "r");
    const bool read = readKeys(file, &commands, &error);
    std::fclose(file);
    return read;
  };
  EXPECT_TRUE(readFile("\xEF\xBB\xBFz@1,1 d\n") && commands.size() == 2u) << error;
  EXPECT_FALSE(readFile("\xEF\xBB"));  // a mark cut short is no mark
  EXPECT_NE(error.find("key 1 '\\xef\\xbb'"), std::string::npos) << error;
  EXPECT_FALSE(readFile("z@1,1 \xEF\xBB\xBF d"));
  EXPECT_NE(error.find("key 2 '\\u{FEFF}'"), std::string::npos) << error;
}

TEST(Press, KeyTableMovesWindowsAndSaysWhatToDraw) {
  Views v;
  const Pointer centre{400, 400};
  EXPECT_EQ(applyKey(v, 'z', centre), Effect::Outline);
  EXPECT_EQ(v.NXMIN(), -0.6666667f);
  EXPECT_EQ(v.XMIN(), -2.0f);
  EXPECT_EQ(applyKey(v, 'Z', centre), Effect::None);  // marked but never outlined
  EXPECT_EQ(v.NXMAX(), 6.0f);
  EXPECT_EQ(applyKey(v, 'c', Pointer{0, 0}), Effect::Outline);
  EXPECT_EQ(v.NXMAX(), 0.0f);
  EXPECT_EQ(v.NYMIN(), 0.0f);
  EXPECT_EQ(applyKey(v, 'd', centre), Effect::Frame);
  EXPECT_EQ(v.XMIN(), -4.0f);
  EXPECT_EQ(v.YMAX(), 4.0f);
  EXPECT_EQ(applyKey(v, 'r', centre), Effect::None);
  EXPECT_EQ(v.NXMIN(), -2.0f);
  EXPECT_EQ(v.XMIN(), -4.0f);  // only d changes the current window

  const Views before = v;
  for (const unsigned char key : {'w', 'x', 'D', 'R', ' ', '\r'}) {
    EXPECT_EQ(applyKey(v, key, centre), key == 'w' ? Effect::Wipe : Effect::None) << key;
    EXPECT_EQ(v.NXMIN(), before.NXMIN());
    EXPECT_EQ(v.XMIN(), before.XMIN());
  }
  EXPECT_EQ(applyKey(v, ESCAPE, centre), Effect::None);
}

TEST(Press, RefusedMarkDrawsNoOutline) {
  Views v;
  while (applyKey(v, 'z', Pointer{123, 456}) == Effect::Outline) applyKey(v, 'd', Pointer{0, 0});
  const Views deepest = v;
  const char* why = nullptr;
  EXPECT_EQ(applyKey(v, 'z', Pointer{400, 400}, &why), Effect::Refused);
  EXPECT_NE(std::string(why).find("too narrow"), std::string::npos);
  EXPECT_EQ(v.NXMIN(), deepest.NXMIN());
  EXPECT_EQ(v.NXMAX(), deepest.NXMAX());
  EXPECT_EQ(applyKey(v, 'd', Pointer{0, 0}), Effect::Frame);  // redraws the same window
  EXPECT_EQ(v.XMIN(), deepest.XMIN());

  // A refused mark leaves none pending, not the mark before it: the drag's
  // square (5 pixels across, too narrow for float here) is refused, and its
  // `d` draws the view as it was, not the z mark.
  const Window deep{0.7450794f, 0.7550794f, 0.5520294f, 0.5620294f};
  Shot shot;
  shot.hasWindow = true;
  shot.window = deep;
  shot.size = Size{64, 64};
  const auto view = takeShot(QUADBASIN, shot).rgb;
  shot.keys = keys("z@100,100 drag@400,400-405,400");
  EXPECT_TRUE(sameWindow(lastWindow(*openSession(DUOBASIN), shot), deep));
  EXPECT_EQ(takeShot(QUADBASIN, shot).rgb, view);
}

TEST(KeyQueue, KeepsActionsWholeAndInOrderDropsARepeatedApplyAndIsBounded) {
  KeyQueue queue;
  for (const unsigned char key : {'z', 'd', 'd', 'c', 'd', 'w', 'd', 'd', 'd'})
    queue.push(KeyPress{key, Pointer{key, 0}});
  std::string order;
  KeyPress typed{};
  while (queue.pop(&typed)) {
    EXPECT_EQ(typed.at.x, typed.key);  // each key keeps its own pointer
    order += char(typed.key);
  }
  EXPECT_EQ(order, "zdcdwd");
  // A burst far beyond what a person types: CAPACITY clicks wait, each
  // with its `d`; the rest are dropped whole, and counted.
  const KeyPress click[] = {KeyPress{'z', Pointer{0, 0}}, KeyPress{'d', Pointer{0, 0}}};
  for (std::size_t i = 0; i < KeyQueue::CAPACITY + 7; ++i) queue.push(click, 2);
  EXPECT_EQ(queue.takeDropped(), 7);
  EXPECT_EQ(queue.takeDropped(), 0);
  order.clear();
  while (queue.pop(&typed)) order += char(typed.key);
  EXPECT_EQ(order.size(), 2 * KeyQueue::CAPACITY);
  EXPECT_EQ(order.find("zz"), std::string::npos);
  EXPECT_EQ(order.find("dd"), std::string::npos);
  queue.done();
  // A `d` taken in while the `d` before it is still running is dropped too;
  // once that one is done, the next `d` counts.
  queue.push(KeyPress{'d', Pointer{0, 0}});
  ASSERT_TRUE(queue.pop(&typed));
  queue.push(KeyPress{'d', Pointer{0, 0}});
  EXPECT_FALSE(queue.pop(&typed));
  queue.done();
  queue.push(KeyPress{'d', Pointer{0, 0}});
  EXPECT_TRUE(queue.pop(&typed));
}

TEST(HeldKeys, RepeatsOfAHeldKeyAreNotNewPresses) {
  HeldKeys held;
  EXPECT_TRUE(held.goesDown('d'));
  EXPECT_FALSE(held.goesDown('d'));  // repeated while held
  EXPECT_TRUE(held.goesDown('z'));   // another key meanwhile
  held.release('d');
  EXPECT_TRUE(held.goesDown('d'));
  EXPECT_FALSE(held.goesDown('Z'));  // shift pressed while z is held
  held.release('Z');                 // and z released after shift
  EXPECT_TRUE(held.goesDown('z'));
  held.releaseAll();
  EXPECT_TRUE(held.goesDown('d') && held.goesDown('z'));
}

TEST(Replay, RestoreRedrawsTheStartUpPictureAndWipeBlanks) {
  HeadlessViewer s(QUADBASIN);
  drawFrame(s);
  const Picture startUp = s.picture;
  for (const Command& c : keys("z@400,400 d z@400,400 d z@400,400 d Z@100,700 d w")) {
    replay(s, c);
    EXPECT_LT(s.session->current().xmin, s.session->current().xmax);
  }
  EXPECT_TRUE(s.picture.size() == Size{});
  EXPECT_TRUE(allBlack(s.picture));
  for (const Command& c : keys("r d")) replay(s, c);
  EXPECT_EQ(s.picture.rgb, startUp.rgb);
  EXPECT_EQ(s.session->registry().store, 4);
}

TEST(Replay, PointerPositionsMapThroughTheViewersWindowAtEverySize) {
  HeadlessViewer small(DUOBASIN), full(DUOBASIN);
  drawFrame(small, Size{100, 100});
  drawFrame(full);
  for (const Command& c : keys("z@200,600 d c@700,100 d")) {
    replay(small, c, nullptr, Size{100, 100});
    replay(full, c);
  }
  EXPECT_EQ(small.session->current().xmin, full.session->current().xmin);
  EXPECT_EQ(small.session->current().ymax, full.session->current().ymax);
  EXPECT_TRUE(small.picture.size() == (Size{100, 100}));
}

TEST(TakeShot, PrintsOfEverySizeShowTheViewAndSampleItByIndex) {
  // Seven zooms off centre: a view where positions accumulated over more
  // steps than 800 drift off the window. Each cell of the 800 picture is
  // compared with the cell of the print nearest its own (drifted) place,
  // so nearly all agree; a shifted or stretched view, or colours from
  // another registry, would not.
  std::string zooms;
  for (int i = 0; i < 7; ++i) zooms += "z@600,200 d ";
  Shot shot;
  shot.keys = keys(zooms);
  const Picture normal = takeShot(QUADBASIN, shot);
  const Window w = lastWindow(*openSession(DUOBASIN), shot);
  std::vector<float> xs800(GRID), ys800(GRID);
  axisPositions(w.xmin, w.xmax, GRID, true, xs800.data());
  axisPositions(w.ymin, w.ymax, GRID, false, ys800.data());
  for (const int size : {1200, 2400, 1600}) {
    SCOPED_TRACE(size);
    shot.size = Size{size, size};
    const Picture print = takeShot(QUADBASIN, shot);
    ASSERT_TRUE(print.size() == (Size{size, size}));
    const auto nearest = [size](double offset, double extent) {
      return std::clamp(int(std::lround(offset / extent * size)), 1, size) - 1;
    };
    int same = 0;
    for (int j = 0; j < GRID; ++j)
      for (int i = 0; i < GRID; ++i)
        same += sameCell(print, nearest(double(xs800[i]) - w.xmin, double(w.xmax) - w.xmin),
                         nearest(double(w.ymax) - ys800[j], double(w.ymax) - w.ymin), normal, i, j);
    EXPECT_GT(same, GRID * GRID * 95 / 100);

    // The last sample of each axis is the window's far edge, the middle one
    // its centre, where a walk would have drifted.
    std::vector<float> xs(std::size_t(size), 0.0f), ys(std::size_t(size), 0.0f);
    axisPositions(w.xmin, w.xmax, size, true, xs.data());
    axisPositions(w.ymin, w.ymax, size, false, ys.data());
    EXPECT_EQ(xs.back(), w.xmax);
    EXPECT_EQ(ys.back(), w.ymin);
    EXPECT_EQ(xs[std::size_t(size / 2 - 1)], float((double(w.xmin) + w.xmax) / 2));
    EXPECT_EQ(ys[std::size_t(size / 2 - 1)], float((double(w.ymin) + w.ymax) / 2));
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
  }
  // At 800 the print is the window's own walk, sample for sample.
  std::vector<float> walked(GRID), placed(GRID);
  AxisWalk<float> walk(w.xmin, w.xmax, GRID, true);
  for (float& x : walked) x = float(walk.next());
  axisPositions(w.xmin, w.xmax, GRID, true, placed.data());
  EXPECT_EQ(placed, walked);
  // A window that resolves at 800 may not at a finer size: refused there.
  const Window narrow{1, 1.00009537f, 1, 1.00009537f};
  EXPECT_EQ(windowFault<float>(narrow), nullptr);
  EXPECT_TRUE(windowResolves<float>(narrow, 400));
  EXPECT_FALSE(windowResolves<float>(narrow, 1601));
}

// Which palette colour a cell shows, whatever its shade.
std::string hue(const Picture& p, int x, int y) { return support::hue(p.at(x, y)); }

TEST(TakeShot, StartUpPictureKeepsTheViewersColoursAtEverySize) {
  // At a size divisible by 4, cells at a quarter and three quarters of the
  // width and height hold samples on the roots themselves.
  for (const int size : {4, 400, 1600}) {
    SCOPED_TRACE(size);
    Shot shot;
    shot.size = Size{size, size};
    const int q = size / 4 - 1, h = size / 2 - 1, t = 3 * size / 4 - 1;
    const Picture quad = takeShot(QUADBASIN, shot);
    EXPECT_EQ(hue(quad, h, q), "red");  // i at the top
    EXPECT_EQ(hue(quad, h, t), "green");
    EXPECT_EQ(hue(quad, q, h), "blue");  // -1 on the left
    EXPECT_EQ(hue(quad, t, h), "yellow");
    const Picture duo = takeShot(DUOBASIN, shot);
    EXPECT_EQ(hue(duo, q, h) + " " + hue(duo, t, h), "red green");
  }
  Shot one;
  one.size = Size{1, 1};  // its one sample, at 2 - 2i, runs to +1
  EXPECT_EQ(hue(takeShot(DUOBASIN, one), 0, 0), "green");
  HeadlessViewer plain(QUADBASIN);
  drawFrame(plain);
  EXPECT_EQ(takeShot(QUADBASIN, Shot{}).rgb, plain.picture.rgb);
}

TEST(TakeShot, WindowOptionMatchesTheKeysThatMarkTheSameWindow) {
  Shot byKeys;
  byKeys.keys = keys("c@0,0 d");
  Shot byWindow;
  byWindow.hasWindow = true;
  byWindow.window = Window{-4, 0, 0, 4};
  EXPECT_EQ(takeShot(DUOBASIN, byKeys).rgb, takeShot(DUOBASIN, byWindow).rgb);

  // Keys after the window start from it.
  byWindow.keys = keys("c@400,400 d");
  EXPECT_EQ(takeShot(DUOBASIN, byKeys).rgb, takeShot(DUOBASIN, byWindow).rgb);
}

// Each mouse word is the keys it names, a drag the square it dragged, and
// the history walks back and forward through the views drawn.
TEST(Mouse, ActionsAreTheirKeysAndHistoryWalksTheViews) {
  const auto shoot = [](const std::string& script, const Window* window = nullptr) {
    Shot shot;
    shot.keys = keys(script);
    shot.size = Size{64, 64};
    shot.hasWindow = window != nullptr;
    if (window) shot.window = *window;
    return takeShot(DUOBASIN, shot).rgb;
  };
  const struct {
    const char* mouse;
    const char* keys;
  } same[] = {{"click@200,300", "z@200,300 d"},
              {"rclick@200,300", "Z@200,300 d"},
              {"mclick@100,700", "c@100,700 d"},
              // Under 5 pixels a drag is the click where it began, as the gesture is.
              {"drag@100,100-104,96", "z@100,100 d"},
              {"pan@100,100-104,96", "c@100,100 d"},
              // The arrows move the view as a pan of a quarter of the window would.
              {"left", "pan@0,0-200,0"},
              {"up down", "pan@0,0-0,200 pan@0,0-0,-200"},
              // A release outside the window counts where it is, as the mouse's does.
              {"drag@400,400-900,400", "drag@400,400--100,400"},
              {"drag@400,400-400,-100", "drag@400,400-400,900"}};
  for (const auto& action : same)
    EXPECT_EQ(shoot(action.mouse), shoot(action.keys)) << action.mouse;
  // A square of side 100 (the larger side) centred on the top-left corner.
  const Window eighth{-2.25f, -1.75f, 1.75f, 2.25f};
  EXPECT_EQ(shoot("drag@0,0-50,100"), shoot("", &eighth));
  Shot dragged;
  dragged.keys = keys("drag@0,0-50,100");
  EXPECT_TRUE(sameWindow(lastWindow(*openSession(DUOBASIN), dragged), eighth));

  // A wheel notch zooms by the cube root of 3 about the pointer, whose
  // point stays put: three of them make the scale of one z, about 1 + i
  // (pixel 600, 200) here; a pan keeps the view's size and moves the point
  // under its press to its release.
  Views v;
  for (int notch = 0; notch < 3; ++notch) ASSERT_TRUE(wheel(v, Pointer{600, 200}, true));
  EXPECT_NEAR(v.XMAX() - v.XMIN(), 4.0 / 3, 1e-5);
  double x = 0, y = 0;
  pointInPlane(v, Pointer{600, 200}, &x, &y);
  EXPECT_NEAR(x, 1.0, 1e-5);
  EXPECT_NEAR(y, 1.0, 1e-5);
  ASSERT_TRUE(wheel(v, Pointer{600, 200}, false));
  EXPECT_NEAR(v.XMAX() - v.XMIN(), 4.0 / 3 * std::cbrt(3.0), 1e-5);
  const Window before = v.current;
  ASSERT_TRUE(pan(v, Pointer{100, 700}, Pointer{300, 600}));
  EXPECT_FLOAT_EQ(float(v.XMAX() - v.XMIN()), float(before.xmax - before.xmin));
  EXPECT_NEAR(v.XMIN(), before.xmin - 200 * (before.xmax - before.xmin) / 800, 1e-6);
  EXPECT_NEAR(v.YMIN(), before.ymin - 100 * (before.ymax - before.ymin) / 800, 1e-6);
  ASSERT_TRUE(stepBack(v));
  EXPECT_TRUE(sameWindow(v.current, before));  // each notch and pan is a view

  // Three zooms, back twice, forward once, then a new zoom: the forward
  // views are gone, so U is refused and the picture stays.
  const std::string walk = "click@200,200 click@600,600 click@400,400 u u U click@100,100";
  EXPECT_EQ(shoot(walk + " U"), shoot("click@200,200 click@600,600 click@100,100"));
  EXPECT_EQ(shoot(walk + " u u"), shoot("click@200,200"));
  EXPECT_EQ(shoot("r d u"), shoot("u"));  // r d redraws the start-up view: no new view
  std::vector<std::string> refusals;
  Shot shot;
  shot.keys = keys(walk + " U u u u u");
  ShotReport report;
  report.refused = [&](const Command& c, const char* why) {
    refusals.push_back(std::string(keyName(static_cast<unsigned char>(c.key))) + ": " + why);
  };
  takeShot(DUOBASIN, shot, report);
  EXPECT_EQ(refusals, (std::vector<std::string>{"forward: no later view to go forward to",
                                                "back: no earlier view to go back to"}));

  // At most HISTORY_LIMIT views are kept, the oldest dropped first.
  Views kept;
  for (int i = 1; i <= 150; ++i) {
    markWindow(kept, Window{0, float(i), 0, 1});
    changewin(kept);
  }
  int steps = 0;
  while (stepBack(kept)) ++steps;
  EXPECT_EQ(steps + 1, int(HISTORY_LIMIT));
  EXPECT_EQ(kept.XMAX(), 51.0f);
}

TEST(ParseKeys, MouseWordsAreCheckedLikeKeys) {
  const struct {
    const char* word;
    const char* says;
  } bad[] = {{"click", "unknown key"},
             {"klick@1,1",
              "unknown key (the keys are z@X,Y Z@X,Y c@X,Y r d w u U left right up down i o@X,Y "
              "0 ? s; the mouse's click@X,Y rclick@X,Y mclick@X,Y wheelup@X,Y wheeldown@X,Y "
              "drag@X0,Y0-X1,Y1 pan@X0,Y0-X1,Y1; size@WxH)"},
             {"click@800,1", "pointer position outside the 800 x 800 window"},
             {"wheelup@1", "expected wheelup@X,Y"},
             {"drag@1,1", "expected drag@X0,Y0-X1,Y1"},
             {"drag@-1,1-5,5", "pointer position outside"},
             {"drag@1,1-1234567,5", "expected drag@X0,Y0-X1,Y1"},
             {"size@0x600", "expected size@WxH"},
             {"u@1,1", "u takes no pointer position"}};
  for (const auto& c : bad) {
    std::vector<Command> commands;
    std::string error;
    EXPECT_FALSE(parseKeys(std::string("d ") + c.word, &commands, &error)) << c.word;
    EXPECT_NE(error.find(std::string("key 2 '") + c.word + "': " + c.says), std::string::npos)
        << error;
  }
  EXPECT_EQ(keys("drag@1,1-6,1 u U").size(), 4u);
  // Positions are checked against the window's size where they stand.
  std::vector<Command> commands;
  std::string error;
  EXPECT_TRUE(parseKeys("click@999,599 size@1000x600 click@999,599", &commands, &error) == false);
  EXPECT_NE(error.find("key 1 'click@999,599': pointer position outside the 800 x 800 window"),
            std::string::npos)
      << error;
  EXPECT_TRUE(parseKeys("size@1000x600 click@999,599", &commands, &error)) << error;
}

// The print's rows are final as they are drawn unless a wipe follows: only
// then does the shot say so, row by row. The picture returned is heard
// either way.
TEST(TakeShot, FinalWipeGivesBlackAtTheRequestedSize) {
  Shot shot;
  shot.keys = keys("z@300,300 d w");
  shot.size = Size{37, 37};
  std::vector<int> heard;
  Picture finished;
  ShotReport report;
  report.rowsFinal = [&heard](const Picture& p, int rows) {
    heard.push_back(rows);
    EXPECT_TRUE(p.size() == (Size{37, 37}));
  };
  report.finished = [&finished](const Picture& p) { finished = p; };
  const Picture p = takeShot(DUOBASIN, shot, report);
  EXPECT_TRUE(finished.size() == (Size{37, 37}) && finished.rgb == p.rgb);
  EXPECT_TRUE(p.size() == (Size{37, 37}));
  EXPECT_EQ(p.rgb.size(), 37u * 37 * 3);
  EXPECT_TRUE(allBlack(p));
  EXPECT_TRUE(heard.empty());

  shot.keys = keys("w d");  // a frame after the wipe draws again
  EXPECT_FALSE(allBlack(takeShot(DUOBASIN, shot, report)));
  EXPECT_FALSE(allBlack(finished));
  ASSERT_EQ(heard.size(), 37u);
  EXPECT_EQ(heard.front(), 1);
  EXPECT_EQ(heard.back(), 37);
}

// A view is kept with the size it was set at: a window of another shape
// draws the smallest rectangle of its own shape around it, with its
// centre, and at that size again the view itself; `u` steps through the
// views as set. A size at which float cannot place the view's samples is
// refused, changing nothing.
TEST(Resize, FitsTheViewToTheWindowAndBack) {
  Views v;
  ASSERT_TRUE(resize(v, Size{1000, 500}));
  EXPECT_TRUE(sameWindow(v.current, Window{-4, 4, -2, 2}));
  ASSERT_TRUE(resize(v, Size{500, 1000}));
  EXPECT_TRUE(sameWindow(v.current, Window{-2, 2, -4, 4}));
  ASSERT_TRUE(zoom(v, Pointer{250, 500, 500, 1000}));
  changewin(v);
  const Window tall = v.current;
  EXPECT_FLOAT_EQ(float(tall.ymax - tall.ymin), 8.0f / 3);
  ASSERT_TRUE(resize(v, Size{}));
  EXPECT_FLOAT_EQ(float(v.XMAX() - v.XMIN()), 8.0f / 3);  // square, holding the tall view
  ASSERT_TRUE(stepBack(v));
  EXPECT_TRUE(sameWindow(v.current, Window{-2, 2, -2, 2}));
  ASSERT_TRUE(stepForward(v));
  ASSERT_TRUE(resize(v, Size{500, 1000}));
  EXPECT_TRUE(sameWindow(v.current, tall));

  Views deep;
  ASSERT_TRUE(markWindow(deep, Window{1, 1.00009537f, 1, 1.00009537f}));
  changewin(deep);
  const char* why = nullptr;
  EXPECT_FALSE(resize(deep, Size{1601, 1601}, &why));
  EXPECT_NE(std::string(why).find("too narrow for float to place 1601 samples"), std::string::npos);
  EXPECT_TRUE(deep.size == Size{});
}

TEST(WindowFault, NamesEachKindOfBadWindow) {
  EXPECT_EQ(windowFault<float>(Window{-2, 2, -2, 2}), nullptr);
  EXPECT_EQ(windowFault<float>(Window{-1e-30f, 1e-30f, 5, 6}), nullptr);
  const std::string nonFinite = "not finite";
  for (const Window w :
       {Window{-INFINITY, 2, -2, 2}, Window{-2, NAN, -2, 2}, Window{-2, 2, -2, INFINITY}})
    EXPECT_NE(std::string(windowFault<float>(w)).find(nonFinite), std::string::npos);
  EXPECT_NE(std::string(windowFault<float>(Window{1, 1, -2, 2})).find("XMIN"), std::string::npos);
  EXPECT_NE(std::string(windowFault<float>(Window{-2, 2, 3, -3})).find("YMIN"), std::string::npos);
  EXPECT_NE(
      std::string(windowFault<float>(Window{1, std::nextafter(1.0f, 2.0f), -2, 2})).find("narrow"),
      std::string::npos);
  EXPECT_NE(std::string(windowFault<double>(Window{1, 1 + 1e-15, -2, 2})).find("narrow"),
            std::string::npos);
  EXPECT_NE(std::string(windowFault<double>(Window{-1e308, 1e308, -2, 2})).find("wide"),
            std::string::npos);

  HeadlessViewer s(DUOBASIN);
  drawFrame(s);
  const Picture before = s.picture;
  EXPECT_FALSE(showWindow(s, Window{1, 1, -2, 2}));
  EXPECT_EQ(s.session->current().xmin, -2.0f);
  EXPECT_EQ(s.session->pending().xmin, -2.0f);
  EXPECT_EQ(s.picture.rgb, before.rgb);
}

TEST(Allocation, FramesAllocateNothing) {
  HeadlessViewer s(QUADBASIN);
  drawFrame(s);  // sizes the picture
  const std::vector<Command> script = keys("z@400,400 d w Z@10,10 d r d");
  long frames = 0;
  const long before = allocations();
  for (const Command& c : script) frames += replay(s, c) == Effect::Frame;
  EXPECT_EQ(allocations() - before, 0);
  EXPECT_EQ(frames, 3);

  long plotted = 0;
  Basin walked(QUADBASIN);
  setup(walked);
  const long start = allocations();
  renderFrame(
      walked, GRID, [&plotted](const Sample&) { ++plotted; }, [](int) {});
  EXPECT_EQ(allocations() - start, 0);
  EXPECT_EQ(plotted, long(GRID) * GRID);
}

}  // namespace
}  // namespace basin
