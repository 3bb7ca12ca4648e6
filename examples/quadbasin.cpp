#include "core/programs.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) { return basin::viewerMain(&basin::QUADBASIN_PROGRAM, argc, argv); }
