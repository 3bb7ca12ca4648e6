// basinshot: the picture of duobasin, quadbasin or a polynomial of the
// user's, drawn without a display and saved as a PNG file. It draws the
// start-up frame, then the --window if one is given, then replays the
// --keys script through the viewer's own key table (viewer/shot.h), and
// writes the last frame drawn (black after a final w): where the picture
// goes, and how it is written without harm, is png/target.h's part.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/failure.h"
#include "core/speed.h"
#include "png/encoder.h"
#include "png/numbered.h"
#include "png/target.h"
#include "viewer/progress.h"
#include "viewer/rootlist.h"
#include "viewer/shot_arguments.h"

namespace {

// Refuses, before any work, an output that would overwrite the keys the
// run reads: the same regular file, however either is named.
void keepOffInputs(const basin::ShotArguments& a, const basin::Output& output) {
  if (a.keysFile.empty() || !basin::overwrites(output, a.keysInput)) return;
  const std::string keys = a.keysFile == "-" ? "(standard input)" : "'" + a.keysFile + "'";
  basin::fail("'" + a.output + "' is the keys file " + keys + ": the picture would overwrite it");
}

basin::ImageRows imageOf(const basin::Picture& picture) {
  return basin::ImageRows{picture.rgb.data(), picture.width, picture.height,
                          std::size_t(picture.width) * 3};
}

// The folder of the print's file, where `s` saves: the working one for a
// print written in place (standard output, a device).
std::string besidePrint(const basin::Output& output) {
  if (output.path.empty()) return ".";
  const std::size_t slash = output.path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : output.path.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  basin::ShotArguments arguments;
  basin::readShotArguments(argc, argv, &arguments);
  const basin::RowPlan plan = basin::readEnvironment();
  const std::unique_ptr<basin::PngEncoder> encoder =
      basin::pngEncoder(!basin::speedMeasures().fastPng);
  if (arguments.roots) return basin::printRoots(arguments.variant);
  basin::HeadlessViewer viewer(arguments.variant, plan);
  basin::checkPrint(arguments, *viewer.session);
  const basin::Output output = basin::openOutput(arguments.output);
  keepOffInputs(arguments, output);

  const bool terminal = isatty(STDERR_FILENO) != 0;
  basin::Progress progress;
  basin::ShotReport report;
  if (terminal && !arguments.quiet)
    report.progress = [&progress](long done, long total) { progress.update(done, total); };
  if (arguments.verbose || (terminal && !arguments.quiet))
    report.refused = [&progress](const basin::Command& c, const char* why) {
      progress.clear();
      std::fprintf(stderr, "basinshot: %s at (%d, %d) refused: %s\n", basin::keyName(c.key), c.x,
                   c.y, why);
    };
  // The print's rows are compressed as they are drawn, on the thread that
  // takes them in order, while the other threads go on solving.
  report.rowsFinal = [&encoder](const basin::Picture& p, int rows) {
    encoder->rowsFinished(imageOf(p), rows);
  };
  report.finished = [&](const basin::Picture& picture) {
    progress.clear();
    basin::writeOutput(output, [&](std::FILE* file) {
      return encoder->write(imageOf(picture), file, viewer.rows);
    });
  };
  // `s` saves the frame beside the print; `o` tells its run when asked.
  viewer.save = [&](const basin::Picture& frame) {
    std::string path;
    const std::string fault = basin::saveNumbered(imageOf(frame), besidePrint(output), &path);
    progress.clear();
    if (!fault.empty()) basin::fail("cannot save: " + fault);
    if (arguments.verbose || terminal) std::fprintf(stderr, "basinshot: saved %s\n", path.c_str());
  };
  if (arguments.verbose)
    viewer.path = [&](const basin::SampleProbe& run) {
      progress.clear();
      std::fputs(basin::describeRun(run, arguments.variant.precision).c_str(), stderr);
    };
  try {
    basin::takeShot(viewer, arguments.shot, report);
  } catch (const std::bad_alloc&) {
    basin::Size size;
    basin::lastWindow(*viewer.session, arguments.shot, nullptr, &size);
    basin::fail("not enough memory for a " + std::to_string(size.width) + " x " +
                std::to_string(size.height) + " picture");
  }
  return 0;
}
