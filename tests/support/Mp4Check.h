#pragma once

// Reads an MP4 file back as a player would: every packet through libavformat, every frame through
// libavcodec, counting what the libraries return and flag as well as the errors they log.

#include <cstdint>
#include <string>
#include <vector>

namespace KcTest {

struct STrackReport {
    std::string codec;          // "h264", "aac"
    std::vector<int64_t> ticks; // packet times on the 48 kHz line
    std::vector<bool> keys;
    int64_t durationTicks = 0; // the track's duration as the file states it
    int frames = 0;            // decoded
    // Failed sends and receives, frames flagged corrupt or concealed, samples cut short or missing.
    int decodeErrors = 0;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
};

struct SMp4Report {
    bool bOpened = false;
    std::vector<STrackReport> tracks;
    int libraryErrors = 0;    // error reports logged while demuxing and decoding
    bool bIndexFirst = false; // the index (moov) comes before the media data (mdat)
    std::string creationTime; // as the file states it, "2026-03-01T20:59:54.000000Z"

    const STrackReport* Find(const std::string& codec) const;
};

SMp4Report InspectMp4(const std::string& path);

// The media sample as a good MP4 file, written through the export's writer with the index first:
// what the check is shown to pass, and damaged copies of it to fail. False with the reason.
bool WriteSampleMp4(const std::string& path, std::string* pError = nullptr);

} // namespace KcTest
