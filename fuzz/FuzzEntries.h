#pragma once

// What the fuzz targets run for one input. The libFuzzer programs and the regression test
// (tests/fuzzregress) call the same functions, so an input that once broke the engine is replayed
// by the ordinary test suite exactly as the fuzzer ran it.
//
// Each function checks what must hold whatever the input (the interface contracts of the engine);
// a broken promise is reported on stderr and aborts, so the fuzzer keeps the input and the test
// fails. Memory errors and undefined behaviour are left to the sanitizers.

#include <cstddef>
#include <cstdint>

namespace KcFuzz {

// The parser over a whole container file. The first byte chooses how it is run:
//   bit 0     payloads skipped (content loading) or read (export);
//   bit 1     the file is named like a recorder's file ("7-0-59.kelm"), so a stream without a
//             Srid in its information takes it from the name;
//   bits 2-7  0: the receiver always goes on; n: it stops at its n-th call (cancellation paths).
// The rest is the file.
void RunContainerParse(const uint8_t* pData, size_t size);

// The decoder configuration of an ES info text. The first byte chooses: even, the member search
// and decoding of ExtractDecoderConfig over the rest as info text; odd, the lenient base64 alone.
void RunDecoderConfig(const uint8_t* pData, size_t size);

// The readers of decoder setup data. The first byte modulo 4 chooses: 0 the H.264 decoder
// configuration record (then the picture size of every sequence parameter set it holds and the
// in-band prefix built from it), 1 the sync-sample test of an access unit, 2 the picture size of
// a sequence parameter set, 3 an AudioSpecificConfig.
void RunDecoderSetup(const uint8_t* pData, size_t size);

// Inputs of the engine-level targets: up to kMaxFiles container files, split at each separator.
constexpr char kFileSeparator[] = "\0KCFILE\0";
constexpr size_t kMaxFiles = 4;

// Content loading of several files, then the day cutting and target naming of every recording,
// as an analysis in one of four zones does (the first byte modulo 4 chooses the zone's offset:
// 0, +3 h, -10 h, +5:30). The rest is the files.
void RunContentPrepare(const uint8_t* pData, size_t size);

// As RunContentPrepare, then the export of every prepared day into a scratch folder, checking
// that nothing is written outside it and that only finished MP4 files are left.
void RunExportFiles(const uint8_t* pData, size_t size);

} // namespace KcFuzz
