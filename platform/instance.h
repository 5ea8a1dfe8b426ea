// Single instance: stands in for a named mutex plus bringing the first copy's window forward.
// A lock file and a per-user Unix socket in a private (0700) directory; the socket is only reachable
// by the same user. Called by elSystem::CheckInstance and elSystem::Shutdown.
#pragma once

namespace plat {

// Takes the lock named name (CP932). Returns true if this process is the only holder. If another
// process holds it, that process is asked to raise its window and false is returned.
bool AcquireInstance(const char* nameCp932);
// Gives the lock up and closes the socket.
void ReleaseInstance();
// Serves raise requests from later copies; the host pump calls it on every pass (non-blocking).
// Returns true when a request arrived.
bool PollInstanceRequests();
// The directory holding the lock and socket (for tests); it honours $XDG_RUNTIME_DIR.
const char* InstanceDir();

}  // namespace plat
