// The viewer without a screen: key commands replayed on one program's
// session, each frame drawn into a picture in memory. Every command goes
// through the viewer's own key table (`applyPress`), and every frame
// through renderPicture as the viewer's does, so the view windows and the
// root registry move exactly as they do on screen. Outlines are not drawn:
// the picture holds the last frame, black after a wipe.
#pragma once

#include <functional>
#include <memory>

#include "viewer/cockpit.h"
#include "viewer/picture.h"
#include "viewer/script.h"
#include "viewer/session.h"

namespace basin {

// One program as its window would show it, with no window: its session
// and the last frame, in memory. It owns the threads that solve its
// frames, and the lane path they use.
struct HeadlessViewer {
  explicit HeadlessViewer(const Variant& variant, const RowPlan& plan = RowPlan{})
      : session(openSession(variant)), lanes(plan.lanes), rows(plan.threads) {}

  std::unique_ptr<Session> session;
  Picture picture;                   // the last frame drawn; empty before the first one
  std::function<void(int)> rowDone;  // if set, called after each row drawn
  bool wiped = false;                // black since a `w`: nothing is drawn over it
  Cockpit cockpit;                   // what `i`, `o`, `0` and `?` ask to draw over it
  bool pointed = false;              // a command has named a pointer position:
  Pointer pointer{};                 // the last one, which the information panel reads
  // If set, each `s` hands it the stored frame, and each `o` its run.
  std::function<void(const Picture& frame)> save;
  std::function<void(const SampleProbe& run)> path;
  LanePath lanes;
  RowSolver rows;  // last: its workers stop before what they read goes
};

// Draws the current window into viewer.picture at the window's size or,
// when `frame` is given, on a frame.width x frame.height grid over the
// view as a window of that size would draw it (the window's own size
// comes back afterwards).
void drawFrame(HeadlessViewer& viewer, Size frame = Size{0, 0});

// Runs one command as the viewer would: `d` applies the pending window and
// draws a frame (at `frame`'s size, if given, as drawFrame), `w` blanks the
// picture (keeping its size), a resize draws at the new size, the marks
// only move the pending window, the cockpit's keys change what is drawn
// over the picture, `s` hands the frame to viewer.save. Pointer positions map through the window
// at its size. A refused mark says why in *why, if given.
Effect replay(HeadlessViewer& viewer, const Command& command, const char** why = nullptr,
              Size frame = Size{0, 0});

// The picture as the window shows it: the last frame with what the cockpit
// draws over it (times left out), at the pointer last named or else the
// window's centre.
Picture shownPicture(HeadlessViewer& viewer);

// Makes `window` current and draws it, as marking exactly that window and
// pressing `d` would. A window with a fault changes nothing and gives false.
bool showWindow(HeadlessViewer& viewer, const Window& window);

}  // namespace basin
