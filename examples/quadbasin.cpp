#include "core/programs.h"
#include "viewer/window/viewer.h"

int main(int argc, char** argv) {
  return basin::viewerMain(basin::findProgram("quadbasin"), argc, argv);
}
