// The MCI command-string interface of the MIDI sequencer: the file piece of elMusic plays through it
// when the MIDI system could not be started. Called by elMusic on the program's thread. Understands
// the commands elMusic sends, on one device at a time under its alias:
//   open "<file>" type sequencer alias <a>     seek <a> to start     play <a> [notify]
//   stop <a>     close <a>     status <a> mode   (answers "playing" or "stopped")
// With notify, the end of the play is posted to the main window as MM_MCINOTIFY with wParam
// MCI_NOTIFY_SUCCESSFUL; a play cut short by stop, seek, close or another play notify is posted as
// aborted or superseded instead. The sequencer has a synthesizer of its own, rendered by the mixer.
#pragma once
#include <cstdint>

namespace plat {

constexpr uint32_t MCI_NOTIFY_SUCCESSFUL = 1;
constexpr uint32_t MCI_NOTIFY_SUPERSEDED = 2;
constexpr uint32_t MCI_NOTIFY_ABORTED = 4;
constexpr uint32_t MCI_NOTIFY_FAILURE = 8;

constexpr long MCIERR_INVALID_DEVICE_NAME = 263;
constexpr long MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr long MCIERR_UNRECOGNIZED_KEYWORD = 259;
constexpr long MCIERR_MISSING_PARAMETER = 273;
constexpr long MCIERR_HARDWARE = 262;
constexpr long MCIERR_FILE_NOT_FOUND = 275;
constexpr long MCIERR_INVALID_FILE = 296;
constexpr long MCIERR_DUPLICATE_ALIAS = 289;
constexpr long MCIERR_NO_CLOSING_QUOTE = 294;

// Carries out one command. 0 on success, else an MCIERR_ code. The answer (status) is written to
// reply, cut to replySize - 1 bytes and terminated; commands without an answer leave it empty.
long MciSendString(const char* command, char* reply, uint32_t replySize);

// The sequencer's filler (mixing thread); public for tests that render by hand.
void MciFill(void* user, void* dst, uint32_t bytes);

}  // namespace plat
