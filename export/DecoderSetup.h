#pragma once

#include "container/ErrorInfo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KELMNameSpace {

// H.264 parameter sets (sequence or picture), each one NAL unit without a length prefix.
using ParameterSetList = std::vector<std::vector<uint8_t>>;

// Reads the H.264 decoder configuration record of a video stream description. Failures have
// code 14; on failure both lists are left as they were.
bool ParseDecoderSetupData(const uint8_t* pData, size_t size, ParameterSetList& pictureParameterSets,
                           ParameterSetList& sequenceParameterSets, UtilsNameSpace::SErrorInfo* pError);

// Every sequence parameter set, then every picture parameter set, each behind its length as
// 4 bytes big-endian: the in-band form that is joined to an IDR unit.
void BuildParameterSetPrefix(const ParameterSetList& sequenceParameterSets,
                             const ParameterSetList& pictureParameterSets, std::vector<uint8_t>& prefix);

// True when any NAL unit of the access unit (each behind a 4-byte big-endian length) is an IDR
// slice or a parameter set. Cameras often put a delimiter or SEI first, so every unit is looked at.
// A length running past the end still has its type byte looked at, then the walk ends.
bool IsSyncSample(const uint8_t* pUnit, size_t size);

// Picture size of an H.264 sequence parameter set (NAL header byte included), after cropping.
bool ReadPictureSize(const uint8_t* pSps, size_t size, int& width, int& height);

// What an MPEG-4 AudioSpecificConfig says about the decoded stream.
struct SAacConfig {
    int sampleRate = 0;  // output rate (the SBR rate for explicitly signalled HE-AAC)
    int channels = 0;    // 0 when the layout is in a program config element
    int frameLength = 0; // samples per frame at sampleRate
};
bool ReadAacConfig(const uint8_t* pConfig, size_t size, SAacConfig& config);

} // namespace KELMNameSpace
