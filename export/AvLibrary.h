#pragma once

// The MP4 muxer lives in libavformat, which pulls in a hundred shared libraries (codecs, network,
// hardware acceleration). Linked into the programs, the dynamic loader would map and relocate all
// of them at every start, also for a scan that never writes a file: longer than reading a
// recording. So the calls go through a small module of our own that links libavformat, loaded
// the first time a file is written.

#include <cstddef>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace KELMNameSpace {

// Every library function the writer calls, with the library's own signature.
struct SAvFunctions {
    size_t structSize;
    unsigned formatVersion; // LIBAVFORMAT_VERSION_INT the module was built with

    decltype(&::avformat_alloc_output_context2) avformat_alloc_output_context2;
    decltype(&::avformat_free_context) avformat_free_context;
    decltype(&::avformat_new_stream) avformat_new_stream;
    decltype(&::avformat_write_header) avformat_write_header;
    decltype(&::av_write_frame) av_write_frame;
    decltype(&::av_write_trailer) av_write_trailer;
    decltype(&::avio_alloc_context) avio_alloc_context;
    decltype(&::avio_context_free) avio_context_free;
    decltype(&::avio_flush) avio_flush;
    decltype(&::av_malloc) av_malloc;
    decltype(&::av_mallocz) av_mallocz;
    decltype(&::av_free) av_free;
    decltype(&::av_freep) av_freep;
    decltype(&::av_dict_set) av_dict_set;
    decltype(&::av_dict_set_int) av_dict_set_int;
    decltype(&::av_dict_free) av_dict_free;
    decltype(&::av_opt_set) av_opt_set;
    decltype(&::av_opt_set_int) av_opt_set_int;
    decltype(&::av_packet_alloc) av_packet_alloc;
    decltype(&::av_packet_free) av_packet_free;
    decltype(&::av_packet_unref) av_packet_unref;
    decltype(&::av_packet_rescale_ts) av_packet_rescale_ts;
    decltype(&::av_rescale) av_rescale;
    decltype(&::av_channel_layout_default) av_channel_layout_default;
    decltype(&::av_log_set_callback) av_log_set_callback;
    decltype(&::av_log_default_callback) av_log_default_callback;
};

// The module's file name and the function it exports.
constexpr const char* kAvModuleName = "libkc_av.so";
constexpr const char* kAvModuleEntry = "kc_av_functions";
using AvFunctionsEntry = const SAvFunctions* (*)();

// The table, loading the module on the first call (thread-safe). Null when the module cannot be
// loaded or was built against another libavformat; *pWhy then says why (the same every call).
const SAvFunctions* LoadAvFunctions(std::string* pWhy = nullptr);

} // namespace KELMNameSpace
