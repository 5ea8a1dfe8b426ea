#include "platform/media.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/media_libs.h"
#include "platform/text.h"

namespace plat {

namespace {

constexpr int kOutRate = 44100;
constexpr int64_t kUnits = 10000000;  // 100 ns units a second
constexpr int64_t kUnknownDuration = std::numeric_limits<int64_t>::max() / 4;
constexpr uint32_t kAudioBufferBytes = kOutRate * 4;  // a second of 16-bit stereo
// The resampler's tables grow with the ratio of the rates: a file claiming a rate of a gigahertz
// had it fill gigabytes for minutes. No sound file is made at more than this.
constexpr int kMaxSoundRate = 384000;

// Containers opened: pictures, the common sound files and video files. Anything that would read
// other files or the network (playlists, concatenation) is left out.
constexpr const char* kFormats =
    "image2,jpeg_pipe,png_pipe,bmp_pipe,gif,mp3,wav,ogg,flac,aac,avi,mov,mp4,m4a,matroska,webm,mpeg,mpegts";

// The decoding libraries' functions; called only once MediaOpen has found them loaded.
const media_libs::Functions& Av() { return *media_libs::Get(); }

std::string FsPath(const char* pathCp932) {
  std::string s = Cp932ToUtf8(pathCp932);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

AVFormatContext* OpenContainer(const std::string& path) {
  // The decoder's own open would wait on a FIFO or a device under the name: regular files only.
  FILE* regular = OpenRegularFile(path, "rb");
  if (regular == nullptr) return nullptr;
  std::fclose(regular);
  AVFormatContext* ctx = nullptr;
  AVDictionary* opts = nullptr;
  Av().av_dict_set(&opts, "protocol_whitelist", "file", 0);
  Av().av_dict_set(&opts, "format_whitelist", kFormats, 0);
  Av().av_dict_set(&opts, "pattern_type", "none", 0);  // a file name is a file name, not a sequence pattern
  int r = Av().avformat_open_input(&ctx, path.c_str(), nullptr, &opts);
  Av().av_dict_free(&opts);
  if (r < 0) return nullptr;
  if (Av().avformat_find_stream_info(ctx, nullptr) < 0) {
    Av().avformat_close_input(&ctx);
    return nullptr;
  }
  return ctx;
}

int FindStream(AVFormatContext* ctx, AVMediaType type) {
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    AVStream* s = ctx->streams[i];
    if (s->codecpar->codec_type != type) continue;
    if (type == AVMEDIA_TYPE_VIDEO && (s->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;  // cover art
    if (Av().avcodec_find_decoder(s->codecpar->codec_id) == nullptr) continue;
    return static_cast<int>(i);
  }
  return -1;
}

AVCodecContext* OpenDecoder(AVStream* s) {
  const AVCodec* codec = Av().avcodec_find_decoder(s->codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  AVCodecContext* dec = Av().avcodec_alloc_context3(codec);
  if (dec == nullptr) return nullptr;
  dec->thread_count = 1;
  if (Av().avcodec_parameters_to_context(dec, s->codecpar) < 0 || Av().avcodec_open2(dec, codec, nullptr) < 0) {
    Av().avcodec_free_context(&dec);
    return nullptr;
  }
  return dec;
}

// Times are held to a quarter of the 64-bit range (a hostile file's stamp overflows the rescaling, or
// is near its limit), so that the differences and sums the stream makes of two or three of them fit.
int64_t ToUnits(int64_t ts, AVRational tb) {
  if (ts == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
  return std::clamp(Av().av_rescale_q(ts, tb, AVRational{1, int(kUnits)}), -kUnknownDuration, kUnknownDuration);
}

int64_t FromUnits(int64_t units, AVRational tb) { return Av().av_rescale_q(units, AVRational{1, static_cast<int>(kUnits)}, tb); }

AVPixelFormat OutFormat(MediaPixelFormat f) {
  switch (f) {
    case MediaPixelFormat::RGB565: return AV_PIX_FMT_RGB565LE;
    case MediaPixelFormat::RGB555: return AV_PIX_FMT_RGB555LE;
    case MediaPixelFormat::XRGB8888: return AV_PIX_FMT_BGR0;  // bytes B, G, R, X: 0x00RRGGBB little-endian
  }
  return AV_PIX_FMT_NONE;
}

int BytesPerPixel(MediaPixelFormat f) { return f == MediaPixelFormat::XRGB8888 ? 4 : 2; }

}  // namespace

struct MediaStream {
  std::string path;
  // Pictures: used on the program's thread only.
  AVFormatContext* vfmt = nullptr;
  int vindex = -1;
  AVCodecContext* vdec = nullptr;
  SwsContext* sws = nullptr;
  AVPacket* vpkt = nullptr;
  AVFrame* vframe = nullptr;
  AVFrame* vlast = nullptr;
  int32_t width = 0, height = 0;
  bool vEof = false;

  // Sound: decoded by the filler on the mixing thread; everything here is guarded by alock.
  std::mutex alock;
  AVFormatContext* afmt = nullptr;
  int aindex = -1;
  AVCodecContext* adec = nullptr;
  SwrContext* swr = nullptr;
  int inFormat = -1, inChannels = 0, inRate = 0;  // what swr was set up for
  AVPacket* apkt = nullptr;
  AVFrame* aframe = nullptr;
  std::deque<int16_t> pcm;  // interleaved stereo at kOutRate
  bool aEof = false;        // nothing more to decode
  bool aDone = false;       // and all of it has been handed to the mixer
  uint64_t framesOut = 0;   // frames handed to the mixer since baseTime
  int64_t dropUntil = 0;    // after a seek: decoded sound before this time is dropped
  AudioBuffer buffer = 0;
  bool wantsAudio = false;  // the sound plays through the mixer whenever there is a device

  // Timeline.
  int64_t duration = kUnknownDuration;
  int64_t startTime = 0;    // the container's first time stamp (units)
  int64_t baseTime = 0;     // position at the last seek or stop
  bool running = false;
  uint32_t runStartMs = 0;  // clock position: baseTime + time since runStartMs while running

  bool AudioPlays() const { return buffer != 0; }
};

namespace {

void FreeAudio(MediaStream* s) {
  if (s->buffer) {
    AudioSetFiller(s->buffer, nullptr, nullptr);
    AudioReleaseBuffer(s->buffer);
    s->buffer = 0;
  }
  Av().avformat_close_input(&s->afmt);  // the sound's own reader: never the pictures'
  Av().avcodec_free_context(&s->adec);
  Av().swr_free(&s->swr);
  Av().av_packet_free(&s->apkt);
  Av().av_frame_free(&s->aframe);
}

// Appends the decoded frame's sound (alock held); drops what lies before dropUntil.
void QueueAudioFrame(MediaStream* s, AVFrame* f) {
  // A frame whose layout differs from what the converter was set up for is left out: the
  // converter would read it as the first layout.
  if (f->format != s->inFormat || f->ch_layout.nb_channels != s->inChannels || f->sample_rate != s->inRate ||
      f->nb_samples <= 0)
    return;
  AVStream* st = s->afmt->streams[s->aindex];
  int64_t t = ToUnits(f->best_effort_timestamp, st->time_base);
  if (t != AV_NOPTS_VALUE) t -= s->startTime;
  int64_t frameUnits = f->sample_rate > 0 ? int64_t(f->nb_samples) * kUnits / f->sample_rate : 0;
  if (t != AV_NOPTS_VALUE && t + frameUnits <= s->dropUntil) return;
  int outMax = Av().swr_get_out_samples(s->swr, f->nb_samples);
  if (outMax <= 0) return;
  std::vector<int16_t> tmp(size_t(outMax) * 2);
  uint8_t* out = reinterpret_cast<uint8_t*>(tmp.data());
  int got = Av().swr_convert(s->swr, &out, outMax, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
  if (got <= 0) return;
  size_t skip = 0;
  if (t != AV_NOPTS_VALUE && t < s->dropUntil)
    skip = std::min<size_t>(size_t(got), size_t((s->dropUntil - t) * kOutRate / kUnits));
  s->pcm.insert(s->pcm.end(), tmp.begin() + long(skip * 2), tmp.begin() + long(size_t(got) * 2));
}

// Decodes more sound into pcm (alock held). False when the file's sound has ended.
bool DecodeAudio(MediaStream* s) {
  if (s->aEof) return false;
  for (int guard = 0; guard < 64; ++guard) {
    int r = Av().avcodec_receive_frame(s->adec, s->aframe);
    if (r == 0) {
      QueueAudioFrame(s, s->aframe);
      Av().av_frame_unref(s->aframe);
      return true;
    }
    if (r != AVERROR(EAGAIN)) {  // the end of the sound, or a decoder that cannot go on
      s->aEof = true;
      return false;
    }
    r = Av().av_read_frame(s->afmt, s->apkt);
    if (r < 0) {
      Av().avcodec_send_packet(s->adec, nullptr);  // drain
      continue;
    }
    if (s->apkt->stream_index == s->aindex) Av().avcodec_send_packet(s->adec, s->apkt);  // a bad packet is skipped
    Av().av_packet_unref(s->apkt);
  }
  return true;
}

void FillAudio(void* user, void* dst, uint32_t bytes) {
  MediaStream* s = static_cast<MediaStream*>(user);
  std::lock_guard<std::mutex> lock(s->alock);
  uint32_t frames = bytes / 4;
  while (s->pcm.size() < size_t(frames) * 2 && DecodeAudio(s)) {
  }
  size_t have = std::min(s->pcm.size() / 2, size_t(frames));
  int16_t* out = static_cast<int16_t*>(dst);
  std::copy(s->pcm.begin(), s->pcm.begin() + long(have * 2), out);
  s->pcm.erase(s->pcm.begin(), s->pcm.begin() + long(have * 2));
  std::memset(out + have * 2, 0, bytes - have * 4);
  s->framesOut += have;
  if (s->aEof && s->pcm.empty()) s->aDone = true;
}

int64_t ClockTime(const MediaStream* s) {
  int64_t t = s->baseTime;
  if (s->running) t += int64_t(uint32_t(TimeMs() - s->runStartMs)) * 10000;
  return t;
}

// A stopped sound buffer fed by the stream's filler; 0 without a device.
AudioBuffer NewAudioBuffer(MediaStream* s) {
  if (!AudioDeviceReady()) return 0;
  AudioFormat f{1, 2, kOutRate, kOutRate * 4, 4, 16, 0};
  AudioBuffer b = 0;
  if (AudioCreateBuffer(kAudioCtrlFrequency | kAudioCtrlPan | kAudioCtrlVolume, kAudioBufferBytes, &f, sizeof f,
                        &b) != kAudioOk)
    return 0;
  AudioSetFiller(b, FillAudio, s);
  return b;
}

bool OpenAudio(MediaStream* s, const std::string& path, AVFormatContext* probe, int index) {
  // The pictures and the sound are read by separate readers, the sound's on the mixing thread.
  s->afmt = s->vfmt ? OpenContainer(path) : probe;
  if (s->afmt == nullptr) return false;
  s->aindex = index;
  if (index >= int(s->afmt->nb_streams)) return false;
  AVStream* st = s->afmt->streams[index];
  s->adec = OpenDecoder(st);
  if (s->adec == nullptr) return false;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  // Copying into a layout first frees what it holds, so it must start empty.
  AVChannelLayout in = {};
  if (Av().av_channel_layout_copy(&in, &s->adec->ch_layout) < 0) return false;
  if (in.order == AV_CHANNEL_ORDER_UNSPEC) Av().av_channel_layout_default(&in, in.nb_channels > 0 ? in.nb_channels : 1);
  s->inFormat = s->adec->sample_fmt;
  s->inChannels = in.nb_channels;
  s->inRate = s->adec->sample_rate;
  int r = Av().swr_alloc_set_opts2(&s->swr, &stereo, AV_SAMPLE_FMT_S16, kOutRate, &in, s->adec->sample_fmt,
                              s->adec->sample_rate, 0, nullptr);
  Av().av_channel_layout_uninit(&in);
  if (r < 0 || s->inRate <= 0 || s->inRate > kMaxSoundRate || Av().swr_init(s->swr) < 0) return false;
  s->apkt = Av().av_packet_alloc();
  s->aframe = Av().av_frame_alloc();
  if (!s->apkt || !s->aframe) return false;
  // No audio device: the file still opens and plays, silently, on the clock.
  s->buffer = NewAudioBuffer(s);
  s->wantsAudio = s->buffer != 0;
  return true;
}

// The position (alock held): how far the sound has played, or the clock without a sound buffer.
int64_t PositionLocked(MediaStream* s) {
  if (s->AudioPlays()) {
    if (s->aDone) {
      // Played out: this is the end, whatever the container said the length was.
      if (s->duration == kUnknownDuration) s->duration = s->baseTime + int64_t(s->framesOut) * kUnits / kOutRate;
      return s->duration;
    }
    int64_t t = s->baseTime + int64_t(s->framesOut) * kUnits / kOutRate;
    return std::min(t, s->duration - 1);
  }
  return std::min(ClockTime(s), s->duration);
}

// The sound buffer goes when the audio device is closed under the stream (the sound module's
// restore opens a new one). At the stream's next call, a new buffer on the device open now takes
// over from the position reached, so the sound comes back and the position goes on to the end;
// while there is no device, the clock keeps the position. Not under alock: the filler is set here.
void KeepAudio(MediaStream* s) {
  AudioBuffer old;
  {
    std::lock_guard<std::mutex> lock(s->alock);
    if (!s->wantsAudio) return;
    old = s->buffer;
  }
  uint32_t status = 0;
  if (old != 0 && AudioGetStatus(old, &status) == kAudioOk) return;
  if (old == 0 && !AudioDeviceReady()) return;
  AudioBuffer b = NewAudioBuffer(s);
  bool play;
  {
    std::lock_guard<std::mutex> lock(s->alock);
    s->baseTime = PositionLocked(s);
    s->framesOut = 0;
    s->runStartMs = TimeMs();
    s->buffer = b;
    play = b != 0 && s->running;
  }
  if (play) AudioPlay(b, kAudioPlayLooping);
}

}  // namespace

void MediaPreload() { media_libs::Preload(); }

MediaResult MediaOpen(const char* pathCp932, bool withAudio, MediaStream** out) {
  if (out == nullptr || pathCp932 == nullptr) return MEDIA_E_INVALIDARG;
  *out = nullptr;
  if (media_libs::Get() == nullptr) return MEDIA_E_FAIL;  // no decoders: nothing can be played
  std::string path = FsPath(pathCp932);
  AVFormatContext* probe = OpenContainer(path);
  if (probe == nullptr) return access(path.c_str(), R_OK) == 0 ? MEDIA_E_BADFILE : MEDIA_E_NOFILE;
  int v = FindStream(probe, AVMEDIA_TYPE_VIDEO);
  int a = withAudio ? FindStream(probe, AVMEDIA_TYPE_AUDIO) : -1;
  bool anyAudio = FindStream(probe, AVMEDIA_TYPE_AUDIO) >= 0;
  if (v < 0 && !anyAudio) {
    Av().avformat_close_input(&probe);
    return MEDIA_E_BADFILE;
  }
  MediaStream* s = new MediaStream;
  // Kept absolute: seeks to the start open the file again, and by then the caller may have moved
  // the working directory back from the program directory it was opened in.
  s->path = path;
  if (!path.empty() && path[0] != '/') {
    if (char* cwd = getcwd(nullptr, 0)) {  // any length (a glibc extension)
      s->path = std::string(cwd) + "/" + path;
      std::free(cwd);
    }
  }
  s->startTime = probe->start_time == AV_NOPTS_VALUE ? 0 : ToUnits(probe->start_time, AV_TIME_BASE_Q);
  if (probe->duration != AV_NOPTS_VALUE && probe->duration > 0)
    s->duration = ToUnits(probe->duration, AV_TIME_BASE_Q);
  bool ok = true;
  if (v >= 0) {
    s->vfmt = probe;
    s->vindex = v;
    s->vdec = OpenDecoder(probe->streams[v]);
    ok = s->vdec != nullptr && s->vdec->width > 0 && s->vdec->height > 0 && s->vdec->width <= MEDIA_MAX_PICTURE &&
         s->vdec->height <= MEDIA_MAX_PICTURE;
    if (ok) {
      s->width = s->vdec->width;
      s->height = s->vdec->height;
      s->vpkt = Av().av_packet_alloc();
      s->vframe = Av().av_frame_alloc();
      s->vlast = Av().av_frame_alloc();
      ok = s->vpkt && s->vframe && s->vlast;
    }
  }
  if (ok && a >= 0) {
    ok = OpenAudio(s, path, probe, a);
  } else if (v < 0) {
    Av().avformat_close_input(&probe);  // sound only, and not played: the clock gives the position
  }
  if (!ok) {
    MediaClose(s);
    return MEDIA_E_BADFILE;
  }
  *out = s;
  return MEDIA_OK;
}

void MediaClose(MediaStream* s) {
  if (s == nullptr) return;
  FreeAudio(s);  // first: the filler is not running once this returns
  Av().avformat_close_input(&s->vfmt);
  Av().avcodec_free_context(&s->vdec);
  Av().sws_freeContext(s->sws);
  Av().av_packet_free(&s->vpkt);
  Av().av_frame_free(&s->vframe);
  Av().av_frame_free(&s->vlast);
  delete s;
}

void MediaVideoSize(const MediaStream* s, int32_t* width, int32_t* height) {
  if (width) *width = s ? s->width : 0;
  if (height) *height = s ? s->height : 0;
}

bool MediaHasAudio(const MediaStream* s) { return s && s->adec != nullptr; }

int64_t MediaDuration(MediaStream* s) {
  if (s == nullptr) return 0;
  std::lock_guard<std::mutex> lock(s->alock);
  return s->duration;
}

int64_t MediaTime(MediaStream* s) {
  if (s == nullptr) return 0;
  KeepAudio(s);
  std::lock_guard<std::mutex> lock(s->alock);
  return PositionLocked(s);
}

MediaResult MediaSetRunning(MediaStream* s, bool run) {
  if (s == nullptr) return MEDIA_E_INVALIDARG;
  KeepAudio(s);
  AudioBuffer b;
  {
    std::lock_guard<std::mutex> lock(s->alock);
    if (run == s->running) return MEDIA_OK;
    if (!s->AudioPlays() && !run) s->baseTime = std::min(ClockTime(s), s->duration);
    s->running = run;
    s->runStartMs = TimeMs();
    b = s->buffer;
  }
  // Not under alock: the mixer may be inside the filler, which takes it.
  if (b) {
    if (run)
      AudioPlay(b, kAudioPlayLooping);
    else
      AudioStop(b);
  }
  return MEDIA_OK;
}

namespace {

// Moves a reader to time. To the start, the file is read afresh: single-picture readers do not
// come back from a seek.
// (The picture and the sound readers are never the same one.)
void SeekReader(MediaStream* s, AVFormatContext*& ctx, int index, int64_t time) {
  if (time == 0) {
    AVFormatContext* fresh = OpenContainer(s->path);
    if (fresh != nullptr && index < int(fresh->nb_streams)) {
      Av().avformat_close_input(&ctx);
      ctx = fresh;
      return;
    }
    if (fresh) Av().avformat_close_input(&fresh);
  }
  AVStream* st = ctx->streams[index];
  Av().av_seek_frame(ctx, index, FromUnits(time + s->startTime, st->time_base), AVSEEK_FLAG_BACKWARD);
}

}  // namespace

MediaResult MediaSeek(MediaStream* s, int64_t time) {
  if (s == nullptr) return MEDIA_E_INVALIDARG;
  KeepAudio(s);
  std::lock_guard<std::mutex> lock(s->alock);
  int64_t end = s->duration == kUnknownDuration ? std::numeric_limits<int64_t>::max() / 8 : s->duration;
  time = std::clamp<int64_t>(time, 0, end);
  if (s->vdec) {
    SeekReader(s, s->vfmt, s->vindex, time);
    Av().avcodec_flush_buffers(s->vdec);
    s->vEof = false;
  }
  if (s->adec) {
    SeekReader(s, s->afmt, s->aindex, time);
    Av().avcodec_flush_buffers(s->adec);
    Av().swr_convert(s->swr, nullptr, 0, nullptr, 0);
    s->pcm.clear();
    s->aEof = false;
    s->aDone = false;
    s->framesOut = 0;
    s->dropUntil = time;
  }
  s->baseTime = time;
  s->runStartMs = TimeMs();
  return MEDIA_OK;
}

namespace {

// The next decoded picture into s->vframe; false at the end of the pictures.
bool DecodePicture(MediaStream* s) {
  if (s->vEof) return false;
  for (int guard = 0; guard < 100000; ++guard) {
    int r = Av().avcodec_receive_frame(s->vdec, s->vframe);
    if (r == 0) return true;
    if (r != AVERROR(EAGAIN)) break;
    r = Av().av_read_frame(s->vfmt, s->vpkt);
    if (r < 0) {
      Av().avcodec_send_packet(s->vdec, nullptr);
      continue;
    }
    if (s->vpkt->stream_index == s->vindex) Av().avcodec_send_packet(s->vdec, s->vpkt);
    Av().av_packet_unref(s->vpkt);
  }
  s->vEof = true;
  return false;
}

}  // namespace

MediaResult MediaUpdate(MediaStream* s, const MediaPixels& dst) {
  if (s == nullptr) return MEDIA_E_INVALIDARG;
  if (s->vdec == nullptr) return MEDIA_S_ENDOFSTREAM;
  if (dst.bits == nullptr || dst.width != s->width || dst.height != s->height ||
      dst.pitch < dst.width * BytesPerPixel(dst.format))
    return MEDIA_E_INVALIDARG;
  int64_t now = MediaTime(s);
  AVStream* st = s->vfmt->streams[s->vindex];
  int64_t frameUnits = st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0
                           ? Av().av_rescale(kUnits, st->avg_frame_rate.den, st->avg_frame_rate.num)
                           : kUnits / 25;
  // Take pictures until one is not late; at the end, the last one taken.
  bool have = false;
  while (DecodePicture(s)) {
    Av().av_frame_unref(s->vlast);
    Av().av_frame_move_ref(s->vlast, s->vframe);
    have = true;
    int64_t t = ToUnits(s->vlast->best_effort_timestamp, st->time_base);
    if (t == AV_NOPTS_VALUE || t - s->startTime + frameUnits > now) break;
  }
  if (!have) return MEDIA_S_ENDOFSTREAM;
  AVFrame* f = s->vlast;
  if (f->width != s->width || f->height != s->height || f->format < 0) return MEDIA_E_FAIL;
  s->sws = Av().sws_getCachedContext(s->sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), s->width,
                                s->height, OutFormat(dst.format), SWS_POINT, nullptr, nullptr, nullptr);
  if (s->sws == nullptr) return MEDIA_E_FAIL;
  uint8_t* planes[] = {dst.bits, nullptr, nullptr, nullptr};
  int pitches[] = {dst.pitch, 0, 0, 0};
  if (Av().sws_scale(s->sws, f->data, f->linesize, 0, f->height, planes, pitches) != s->height) return MEDIA_E_FAIL;
  return MEDIA_OK;
}

}  // namespace plat
