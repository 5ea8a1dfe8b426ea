/// @file
/// elSound: sound objects, WAVE loading and playback, sound packs and streamed sound.
/// Object numbers are 0..69. Buffer selectors: 0..9 one buffer; -1 the next buffer in turn (play) or
/// every buffer (the rest); -2 as -1 and starts an echo (play) or only the next buffer in turn (levels).
///
/// Each sound object holds up to ten buffers of the same sound (its mix count), so a sound can
/// overlap itself; elSound::Play with selector -1 takes them in turn. Levels are kept per buffer:
/// frequency in Hz (changed in steps of 100 Hz), pan and volume in decibels (-100..100 and -100..0).
/// Sound packs are one file of named WAVE entries; a streamed object plays a long entry from its pack
/// through a four-second buffer refilled by elSound::Streaming.
///
/// Failures are reported through elSystem::ReportError with the operation's name
/// ("elSound::LoadObject", ...); the loaders then answer -1 (0 is a valid object number), the other
/// operations 0. Without an audio device every operation does nothing and the loaders answer -1.
#pragma once
#include <cstdint>

/// Sound objects, WAVE files, sound packs and streamed sound.
/// The model (object numbers, tables, selectors, failure answers) is described in elSound.h.
namespace elSound {

// Device and table.
/// Opens the audio device (called by elDraw::Screen).
/// @return 1; 0 when there is no device: sound is then off and every other operation does nothing
/// (the loaders answer -1). No report.
int Init();
/// Stops and frees every object's buffers and closes the device.
void Release();
/// Empties every sound object slot (elDraw::Screen calls it after Init).
void ClearObjects();
/// Loads a WAVE sound into a new sound object: the file name of the program directory, else the
/// program's resource of that name (types "WAVE" or "RCDATA").
/// @param name file or resource name, at most 30 bytes.
/// @param mix number of buffers (mixes) 1..10, so the sound can overlap itself; 0 counts as 1; 2 or
/// more also allows echoes (elSound::Echo); -1..-10 the same count without echo.
/// @return the object number 0..69; -1 when sound is off, or after reporting one of
/// "ミックス数が多過ぎます", "オブジェクト数が多過ぎます", "WAVEリソースが見つかりません",
/// "サウンドバッファが生成できません", "ファイル名またはリソース名が長すぎます".
int LoadObject(const char* name, int32_t mix);
/// Stops and frees sound object object; its number becomes free.
void ReleaseObject(int32_t object);
/// Reopens the device and reloads every object from its file, resource or pack, keeping levels.
void Restore();
/// Sets the device's output format and rebuilds every object at it.
/// @param channels 1 or 2; @p rate in Hz, or 8, 11, 22, 44 for 8000, 11025, 22050, 44100;
/// @p bits 8 or 16.
/// @return 1; 0 when sound is off; on failure 0 after reporting "再生フォーマットを変更できません"
/// (the old format stays and the objects are rebuilt at it).
int SelectFormat(int32_t channels, int32_t rate, int32_t bits);
/// Plays the WAVE file (path as given) once to its end, waiting for it, on the device alone: the
/// objects are released first and restored afterwards. A file that cannot be read plays nothing.
void PlaySync(const char* file);

/// Reads a RIFF WAVE file. On success returns 0 with the format record (18 + extra bytes) and the
/// samples, both allocated with malloc for the caller to free; on failure returns 1, both null, size 0.
/// Nothing is reported.
/// @param path the file's path as given; @p format, @p formatSize, @p data, @p dataSize receive the result.
int ReadWave(const char* path, uint8_t** format, uint32_t* formatSize, uint8_t** data, uint32_t* dataSize);

// Playback.
/// Plays sound object object once from the start.
/// @param selector buffer 0..9; -1 the next buffer in turn; -2 as -1 and starts an echo.
void Play(int32_t object, int32_t selector);
/// Plays sound object object in a loop from the start.
/// @param selector buffer 0..9; -1 the next buffer in turn; -2 as -1 and starts an echo.
void PlayLoop(int32_t object, int32_t selector);
/// Stops sound object object and rewinds it (a selector below 0 also ends its echo).
/// @param selector buffer 0..9, or -1 / -2 every buffer.
void Stop(int32_t object, int32_t selector);
/// Pauses sound object object, or resumes it where it was paused.
/// @param selector buffer 0..9, or -1 / -2 every buffer.
void Pause(int32_t object, int32_t selector);

// Levels: frequency in steps of 100 Hz, pan and volume in decibels.
/// Raises (or lowers) the playback frequency by steps x 100 Hz, within 100..100000 Hz.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void ShiftFrequency(int32_t object, int32_t steps, int32_t selector);
/// Returns to the sound's own frequency.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void ResetFrequency(int32_t object, int32_t selector);
/// Sets the frequency to the sound's own plus steps x 100 Hz, within 100..100000 Hz.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void SetFrequency(int32_t object, int32_t steps, int32_t selector);
/// Moves the pan by db decibels (negative: left), within -100..100.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void ShiftPan(int32_t object, int32_t db, int32_t selector);
/// Centres the pan.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void ResetPan(int32_t object, int32_t selector);
/// Sets the pan to db decibels (negative: towards the left), within -100..100.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void SetPan(int32_t object, int32_t db, int32_t selector);
/// Pans fully left.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void PanLeft(int32_t object, int32_t selector);
/// Pans fully right.
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void PanRight(int32_t object, int32_t selector);
/// Changes the volume by db decibels, within -100 (silent) to 0 (full).
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void ShiftVolume(int32_t object, int32_t db, int32_t selector);
/// Returns to full volume (0 dB).
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void ResetVolume(int32_t object, int32_t selector);
/// Sets the volume to db decibels, -100 (silent) to 0 (full).
/// @param selector buffer 0..9; -1 every buffer; -2 only the next buffer in turn.
void SetVolume(int32_t object, int32_t db, int32_t selector);

// Sound packs and streaming.
/// Sets the sound pack (a name in the program directory) read by elSound::LoadPack and
/// elSound::LoadStream. A path that does not fit 258 bytes leaves no pack set.
void SetPackFile(const char* pack);
/// Builds a sound pack from every ".wav" file of directory dir (in name order), each an entry
/// named by its file name upper-cased.
/// @param pack the pack's name in the program directory; @p dir a subdirectory ("" or null: the
/// program directory itself); @p fresh non-zero deletes the pack first (otherwise entries are appended).
/// @return 1. Files that cannot be read are written as empty entries; nothing is reported.
int MakePack(const char* pack, const char* dir, uint32_t fresh);
/// Appends the WAVE file (relative to the program directory) to the sound pack, as an entry named
/// by its file name.
void AddToPack(const char* pack, const char* file);
/// Loads the sound pack's entry name (compared upper-cased) into a new sound object.
/// @param mix number of buffers (mixes) 1..10, so the sound can overlap itself; 0 counts as 1; 2 or
/// more also allows echoes (elSound::Echo); -1..-10 the same count without echo.
/// @return the object number 0..69; -1 when sound is off, or after reporting one of
/// "ミックス数が多過ぎます", "オブジェクト数が多過ぎます", "パックファイル名が指定されていません",
/// "WAVEファイルを読み込めません", "サウンドバッファが生成できません", "ファイル名が長すぎます".
int LoadPack(const char* name, int32_t mix);
/// Loads the sound pack's entry name as a streamed sound object: a four-second buffer refilled from
/// the pack by elSound::Streaming, for long music. Entries shorter than five seconds are loaded whole
/// as elSound::LoadPack(name, 1) does. elSound::Play plays a stream once
/// through, elSound::PlayLoop repeats it from the loop point.
/// @param loopOffset byte offset into the sound where the loop starts again (past the end: 0).
/// @return the object number 0..69; -1 when sound is off, or after reporting one of
/// "オブジェクト数が多過ぎます", "パックファイル名が指定されていません", "WAVEファイルを読み込めません",
/// "サウンドバッファが生成できません", "ファイル名が長すぎます".
int LoadStream(const char* name, uint32_t loopOffset);
/// Refills the playing streamed objects from their packs; call once a frame (at least every two seconds).
/// @return 1; 0 when sound is off; on failure 0 after reporting "パックファイル名が指定されていません"
/// (the pack cannot be opened) or "ストリーミング再生できません".
int Streaming();
/// Rewinds streamed object object to the start of its sound (elSound::Play does this itself).
/// @return 1; 0 when sound is off or object is not a stream; on failure 0 after reporting
/// "パックファイル名が指定されていません" or "ストリーミング再生できません".
int ResetStream(int32_t object);

// Echo effects (call once per frame with the same arguments) and the play cursor.
/// Drives the echo started by elSound::Play with selector -2 (objects loaded with mix >= 2): every
/// interval ms plays the next buffer again, each step dB quieter, count times in all.
/// @param interval milliseconds between repeats; @p count repeats; @p step decibels quieter per repeat.
void Echo(int32_t object, uint32_t interval, int32_t count, int32_t step);
/// As elSound::Echo, the repeats also wandering between left and right (within 30 dB).
/// @param speed speed of the wander.
void EchoPan(int32_t object, uint32_t interval, int32_t count, int32_t step, int32_t speed);
/// Reads sound object object's play position.
/// @return the play cursor of the object's first buffer, in bytes from the start of the sound; 0
/// without a buffer.
uint32_t GetPosition(int32_t object);

}  // namespace elSound
