// The window's message queue, kept for the host backends (PostMsg and PostQuit of platform/host.h
// put messages in; the backend's PeekMsg and WaitMsg take them out). Locked: the sequencer's end
// notification is posted from the mixing thread.
#pragma once
#include "platform/host.h"

namespace plat::queue {

bool Empty();
// Takes the oldest message off; false when there is none.
bool Pop(Msg* out);
void Clear();

}  // namespace plat::queue
