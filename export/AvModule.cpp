// The module that links libavformat: it only hands out the addresses of the functions the writer
// calls, so the programs load the library when they first write a file.
#include "export/AvLibrary.h"

namespace {

const KELMNameSpace::SAvFunctions kFunctions = {
    sizeof(KELMNameSpace::SAvFunctions),
    LIBAVFORMAT_VERSION_INT,
    &::avformat_alloc_output_context2,
    &::avformat_free_context,
    &::avformat_new_stream,
    &::avformat_write_header,
    &::av_write_frame,
    &::av_write_trailer,
    &::avio_alloc_context,
    &::avio_context_free,
    &::avio_flush,
    &::av_malloc,
    &::av_mallocz,
    &::av_free,
    &::av_freep,
    &::av_dict_set,
    &::av_dict_set_int,
    &::av_dict_free,
    &::av_opt_set,
    &::av_opt_set_int,
    &::av_packet_alloc,
    &::av_packet_free,
    &::av_packet_unref,
    &::av_packet_rescale_ts,
    &::av_rescale,
    &::av_channel_layout_default,
    &::av_log_set_callback,
    &::av_log_default_callback,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const KELMNameSpace::SAvFunctions* kc_av_functions()
{
    return &kFunctions;
}
