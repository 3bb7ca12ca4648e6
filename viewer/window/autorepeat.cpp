#include "viewer/window/autorepeat.h"

#include <GL/glx.h>
#include <X11/XKBlib.h>

namespace basin {

bool serverMarksRepeats() {
  Display* display = glXGetCurrentDisplay();
  Bool supported = False;
  return display != nullptr && XkbSetDetectableAutoRepeat(display, True, &supported) == True &&
         supported == True;
}

}  // namespace basin
