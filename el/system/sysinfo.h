// System-information buffers and the pieces of it that tests reach.
#pragma once
#include <cstdint>

extern char ProgramDir[256];
extern char ProgramFolder[256];
extern char DataRoot[256];
extern uint32_t DelayEnd;

namespace elSystem {

// The version code of a platform id (0 Win32s, 1 9x, 2 NT, anything else "other") and version.
uint32_t VersionCode(uint32_t platformId, uint32_t major, uint32_t minor);
// Makes GetProgramDir see path as the executable (null: the real one).
void SetExecutablePathForTest(const char* path);

}  // namespace elSystem
