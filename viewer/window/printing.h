// The viewer's large prints (`S`): each a basinshot child process drawing
// the view as the view line says, at a size of the user's, into the next
// free basinscope-NNNN.png, so that the window stays responsive while it
// runs. One runs at a time; a print asked for meanwhile waits its turn.
// The child shares the viewer's standard error, where its progress line
// shows on a terminal; the viewer says when each print starts and ends.
// A print under way when the viewer ends finishes on its own.
#pragma once

#include <sys/types.h>

#include <deque>
#include <string>
#include <vector>

#include "viewer/session.h"

namespace basin {

class Printer {
 public:
  // `program` names the viewer in messages; `folder` is --save-dir;
  // `size` --print-size, or none for four times the window's.
  Printer(std::string program, std::string folder, Size size);

  // Asks for a print of the session's current view: started at once, or
  // queued behind the one running. Returns the line for standard error.
  std::string request(const Session& session);
  // Reaps a finished child and starts the next print: lines for standard
  // error, "" when nothing happened. Call it now and then while busy().
  std::string poll();
  bool busy() const { return child_ > 0 || !waiting_.empty(); }
  // What the viewer says as it ends with prints under way or waiting.
  std::string atExit() const;

 private:
  struct Job {
    std::vector<std::string> arguments;  // basinshot's, all but -o
    std::string path;                    // claimed, empty until it starts
    Size size;
  };
  std::string start(Job job);

  std::string program_, folder_;
  Size size_;
  std::deque<Job> waiting_;
  pid_t child_ = -1;
  Job running_;
};

// The size a print of `window` at `asked` is made at: `asked`, or, where the
// storage type cannot place that many samples, the largest of the same
// shape it can (at least 1 x 1).
Size placeablePrint(const Session& session, const Window& window, Size asked);

}  // namespace basin
