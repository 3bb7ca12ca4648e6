// What lies over the picture when asked for: the information panel (`i`),
// a run's path (`o`), rings at the roots (`0`) and the help (`?`). All of
// it is drawn by one routine into a copy of the stored frame (compose),
// with the overlay font of viewer/font.h and no GL, so the window shows and
// basinshot writes the same pixels. With nothing asked for, nothing is
// drawn: the window shows the frame itself.
#pragma once

#include <string>
#include <vector>

#include "viewer/keys.h"
#include "viewer/picture.h"
#include "viewer/probe.h"
#include "viewer/session.h"

namespace basin {

// The last frame's size and how long it took; a time below 0 is left out,
// as prints leave it, so that a print made again gives the same bytes.
struct FrameFacts {
  Size size;
  double milliseconds = -1;
};

class Cockpit {
 public:
  // Runs a key of the cockpit's (i, o, 0, ?) typed at `at`: false for any
  // other key. For `o`, *path (if given) hears the run it now shows.
  bool apply(int key, const Pointer& at, const Session& session, SampleProbe* path = nullptr);
  // After a frame: a path stays while the view it was drawn over does (a
  // resize keeps it), and goes with a new view.
  void frameDrawn(const Session& session);
  bool showsInfo() const { return info_; }
  // Whether anything is drawn over the frame.
  bool any() const { return info_ || rings_ || help_ || !path_.empty(); }

  // `frame` with what is asked for drawn over it, into *out; the panel
  // describes the sample under `pointer`.
  void compose(const Session& session, const Picture& frame, const Pointer& pointer,
               const FrameFacts& facts, Picture* out) const;

 private:
  bool info_ = false, rings_ = false, help_ = false;
  std::vector<PlanePoint> path_;  // the iterates shown, in the plane; empty for none
  Window pathView_{};             // the view they were drawn over, as an 800 x 800 window
};

// The help's lines: the key and mouse tables, as --help gives them.
std::vector<std::string> helpLines();

// The information panel's lines.
std::vector<std::string> infoLines(const SampleProbe& sample, const ViewFacts& view,
                                   const FrameFacts& frame);

// The run of `probe` as lines for standard error: the sample, then each
// iterate with its step count, then how it ended.
std::string describeRun(const SampleProbe& probe, Precision precision);

}  // namespace basin
