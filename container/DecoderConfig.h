#pragma once

#include "container/ErrorInfo.h"
#include "container/FastDynArray.h"

#include <cstdint>
#include <string>

namespace KELMNameSpace {

// The member that carries a stream's decoder configuration inside ES.info, matched without
// regard to letter case.
extern const char kDecoderConfigPrefix[]; // "\"decoderConfig\":\"binary-dataXXX:" (32 characters)

// Lenient base64: complete groups of four characters give three bytes each; "=" and characters
// outside the alphabet count as zero bits; a trailing partial group is dropped. False (out empty)
// when out cannot hold the result.
bool DecodeBase64Lenient(const char* pText, size_t length, UtilsNameSpace::CFastDynArray<uint8_t>& out);

// Finds the decoder configuration in an ES info text and decodes it into out. Code 26 when the
// member is missing (out is then empty), "Out of memory" when out cannot hold it.
bool ExtractDecoderConfig(const std::string& info, UtilsNameSpace::CFastDynArray<uint8_t>& out,
                          UtilsNameSpace::SErrorInfo* pError);

} // namespace KELMNameSpace
