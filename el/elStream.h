// elStream: one media stream drawn into draw objects.
#pragma once
#include <cstdint>

namespace elStream {

int Init();
void Release();

}  // namespace elStream
