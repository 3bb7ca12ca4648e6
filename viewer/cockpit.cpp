#include "viewer/cockpit.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "colour/colour.h"
#include "core/text.h"
#include "viewer/overlay.h"

namespace basin {
namespace {

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// "a+bi" / "a-bi", each part the shortest text of its stored value.
std::string complexText(const PlanePoint& p, Precision precision) {
  const std::string im = shortestDigits(p.y, precision);
  return shortestDigits(p.x, precision) + (im[0] == '-' ? "" : "+") + im + "i";
}

// A computed point, not a stored one: to the digits of the storage type.
std::string approximate(const PlanePoint& c, Precision precision) {
  char text[96];
  const int digits = significantDigits(precision);
  std::snprintf(text, sizeof text, "%.*g%+.*gi", digits, c.x, digits, c.y);
  return text;
}

std::string endText(const SampleProbe& s, Precision precision) {
  const std::string steps = std::to_string(s.its) + (s.its == 1 ? " step" : " steps");
  switch (s.end) {
    case RunEnd::Root: {
      const std::string slot =
          s.slot < 0 ? "a root not yet coloured" : "colour " + std::to_string(s.slot);
      const std::string root = s.rootKnown ? " (root " + complexText(s.root, precision) + ")" : "";
      return slot + root + ", " + steps;
    }
    case RunEnd::NoConvergence:
      return "no root: no convergence in " + std::to_string(MAXITS) + " steps";
    case RunEnd::DerivativeVanished:
      return "no root: the derivative vanished, " + steps;
    case RunEnd::Overflow:
      return "no root: overflow, " + steps;
  }
  return "";
}

// Where a point of the plane lies in the window's pixels: the sample of
// column k (from 1) sits at the centre of pixel k - 1.
PixelPoint pixelOf(const PlanePoint& p, const Window& v, Size size) {
  const double xstep = (v.xmax - v.xmin) / size.width, ystep = (v.ymax - v.ymin) / size.height;
  return PixelPoint{(p.x - v.xmin) / xstep - 0.5, (v.ymax - p.y) / ystep - 0.5};
}

// A slot's palette colour at its brightest; grey for a root no run has met.
Colour8 slotColour(int slot) {
  if (slot < 0 || slot >= SLOTS) return Colour8{128, 128, 128};
  const std::uint8_t* c = shade8(slot, 1);
  return Colour8{c[0], c[1], c[2]};
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

bool Cockpit::apply(int key, const Pointer& at, const Session& session, SampleProbe* path) {
  switch (key) {
    case 'i':
      info_ = !info_;
      return true;
    case '0':
      rings_ = !rings_;
      return true;
    case '?':
      help_ = !help_;
      return true;
    case 'o': {
      SampleProbe run = session.probe(at, true);
      path_ = run.path;
      pathView_ = session.fitted(Size{});
      if (path) *path = std::move(run);
      return true;
    }
  }
  return false;
}

void Cockpit::frameDrawn(const Session& session) {
  if (!path_.empty() && !sameWindow(session.fitted(Size{}), pathView_)) path_.clear();
}

void Cockpit::compose(const Session& session, const Picture& frame, const Pointer& pointer,
                      const FrameFacts& facts, Picture* out) const {
  *out = frame;
  const Canvas canvas{out->rgb.data(), out->width, out->height};
  const Window& view = session.current();
  const Size size{frame.width, frame.height};
  if (rings_)
    for (const RootMark& root : session.roots())
      drawRing(canvas, pixelOf(root.at, view, size), slotColour(root.slot));
  if (!path_.empty()) {
    std::vector<PixelPoint> points;
    for (const PlanePoint& p : path_) points.push_back(pixelOf(p, view, size));
    drawPath(canvas, points);
  }
  if (info_)
    drawPanel(canvas, infoLines(session.probe(pointer, false), session.viewFacts(), facts),
              Corner::TopLeft);
  if (help_) drawPanel(canvas, helpLines(), Corner::Centre);
}

std::vector<std::string> helpLines() {
  std::vector<std::string> help = lines(keysHelp(false));
  help.insert(help.begin(), "keys, with the pointer in the window (? hides this):");
  return help;
}

std::vector<std::string> infoLines(const SampleProbe& s, const ViewFacts& v,
                                   const FrameFacts& frame) {
  const Precision p = v.precision;
  const double zooms = std::log(v.magnification) / std::log(3.0);
  std::vector<std::string> out = {
      "pointer " + complexText(s.sample, p),
      "  runs to " + endText(s, p),
      "view    centre " + approximate(v.centre, p),
      "  width " + format("%.3g", v.width) + ", magnified " + format("%.3g", v.magnification) +
          " = 10^" + format("%.2f", std::log10(v.magnification)) + " = 3^" + format("%.1f", zooms),
      std::string("  ") + storageName(p) + ": " + std::to_string(v.deeper) +
          " more zooms of 3 here",
      "frame   " + std::to_string(frame.size.width) + " x " + std::to_string(frame.size.height) +
          (frame.milliseconds < 0 ? "" : format(", %.1f ms", frame.milliseconds))};
  return out;
}

std::string describeRun(const SampleProbe& probe, Precision precision) {
  std::string text = "path from " + complexText(probe.sample, precision) + ":\n";
  for (std::size_t i = 0; i < probe.path.size(); ++i)
    text += "  " + std::to_string(i) + " " + complexText(probe.path[i], precision) + "\n";
  return text + "  ends at " + complexText(probe.endPoint, precision) + ": " +
         endText(probe, precision) + "\n";
}

}  // namespace basin
