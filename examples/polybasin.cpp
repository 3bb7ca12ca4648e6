// polybasin: the basins of a polynomial the user writes, with the window,
// keys and frame of the other two programs.
#include "viewer/window/viewer.h"

int main(int argc, char** argv) { return basin::viewerMain(nullptr, argc, argv); }
