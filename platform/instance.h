// Single instance: stands in for a named mutex plus bringing the first copy's window forward.
// A lock file and a per-user Unix socket in a private (0700) directory; the socket is only reachable
// by the same user. Called by elSystem::CheckInstance and elSystem::Shutdown.
#pragma once

namespace plat {

enum class InstanceCheck {
  kOnly,         // this process holds the lock
  kAnother,      // another copy holds it and has been asked to raise its window
  kNoSafePlace,  // no directory only this user controls: nothing can be told (said on stderr)
};

// Takes the lock named name (CP932) in the first private directory that can be had:
// $XDG_RUNTIME_DIR/oomori, then $HOME/.cache/oomori, then $TMPDIR (or /tmp)/oomori-<uid>.
InstanceCheck AcquireInstance(const char* nameCp932);
// Gives the lock up and closes the socket.
void ReleaseInstance();
// Serves raise requests from later copies; the host pump calls it on every pass (non-blocking).
// Returns true when a request arrived.
bool PollInstanceRequests();
// The directory holding the lock and socket (for tests); empty when there is none.
const char* InstanceDir();

}  // namespace plat
