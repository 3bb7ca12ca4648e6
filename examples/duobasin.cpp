#include "core/programs.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) { return basin::viewerMain(&basin::DUOBASIN_PROGRAM, argc, argv); }
