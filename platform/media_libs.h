// The media decoding libraries (FFmpeg), opened at run time rather than linked: with their codecs
// and the many libraries those bring, they take 60 to 100 ms to load, about a third of the game's
// start-up, and the real host loads them on a thread of its own while it opens its window.
// Used by platform/media.cpp only.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace plat::media_libs {

// X(library, function): every function of the libraries that the media streams call.
#define OOMORI_MEDIA_FUNCTIONS(X)                                                                   \
  X(avutil, av_channel_layout_copy) X(avutil, av_channel_layout_default)                           \
  X(avutil, av_channel_layout_uninit) X(avutil, av_dict_free) X(avutil, av_dict_set)               \
  X(avutil, av_frame_alloc) X(avutil, av_frame_free) X(avutil, av_frame_move_ref)                  \
  X(avutil, av_frame_unref) X(avutil, av_log_set_level) X(avutil, av_rescale) X(avutil, av_rescale_q) \
  X(avcodec, av_packet_alloc) X(avcodec, av_packet_free) X(avcodec, av_packet_unref)               \
  X(avcodec, avcodec_alloc_context3) X(avcodec, avcodec_find_decoder) X(avcodec, avcodec_flush_buffers) \
  X(avcodec, avcodec_free_context) X(avcodec, avcodec_open2) X(avcodec, avcodec_parameters_to_context) \
  X(avcodec, avcodec_receive_frame) X(avcodec, avcodec_send_packet)                                \
  X(avformat, av_read_frame) X(avformat, av_seek_frame) X(avformat, avformat_close_input)          \
  X(avformat, avformat_find_stream_info) X(avformat, avformat_open_input)                          \
  X(swresample, swr_alloc_set_opts2) X(swresample, swr_convert) X(swresample, swr_free)            \
  X(swresample, swr_get_out_samples) X(swresample, swr_init)                                       \
  X(swscale, sws_freeContext) X(swscale, sws_getCachedContext) X(swscale, sws_scale)

struct Functions {
#define OOMORI_MEDIA_MEMBER(lib, name) decltype(&::name) name;
  OOMORI_MEDIA_FUNCTIONS(OOMORI_MEDIA_MEMBER)
#undef OOMORI_MEDIA_MEMBER
};

// The functions, loading the libraries first if that has not been done (waiting for a load that the
// preload started); null when they cannot be loaded, and then media files are not played.
const Functions* Get();

// Starts loading the libraries on a thread of its own, once; Get waits for it.
void Preload();

}  // namespace plat::media_libs
