#include "core/programs.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) { return basin::runViewer(basin::QUADBASIN_PROGRAM, argc, argv); }
