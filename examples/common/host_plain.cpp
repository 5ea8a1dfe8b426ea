// The host hooks of a normal build: nothing to do.
#include "example.h"

void ExampleHostStart() {}
void ExampleHostFrame(int) {}
void ExampleHostEnd() {}
