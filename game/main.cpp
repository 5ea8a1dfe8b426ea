#include "game/winmain.h"

int main(int argc, char** argv) { return GameMain(argc, argv); }
