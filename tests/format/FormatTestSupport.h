#pragma once

// Reading back what the writer produced, independently of the container parser: the framing
// by hand, every header with the generated classes.

#include "KELM.pb.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace KcFormatTest {

using KcTest::CTempDir;

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t Be32(const std::string& bytes, size_t at)
{
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16)
           | (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

struct SReadRecord {
    kelm::Tag tag;
    std::string header;
    std::vector<uint8_t> payload;
};

// Splits a well-formed file into records; any framing problem or unparsable header fails the
// calling test.
inline std::vector<SReadRecord> ReadRecords(const std::string& path)
{
    const std::string bytes = ReadAll(path);
    std::vector<SReadRecord> records;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 12) {
            ADD_FAILURE() << "cut framing at " << at;
            break;
        }
        if (bytes.compare(at, 4, "\xFE\xED\x5E\xED") != 0) {
            ADD_FAILURE() << "bad record id at " << at;
            break;
        }
        const uint32_t headerSize = Be32(bytes, at + 4);
        const uint32_t payloadSize = Be32(bytes, at + 8);
        if (headerSize == 0 || bytes.size() - at - 12 < uint64_t(headerSize) + payloadSize) {
            ADD_FAILURE() << "bad sizes at " << at;
            break;
        }
        SReadRecord record;
        record.header = bytes.substr(at + 12, headerSize);
        if (!record.tag.ParseFromString(record.header)) {
            ADD_FAILURE() << "unparsable header at " << at;
            break;
        }
        const char* pPayload = bytes.data() + at + 12 + headerSize;
        record.payload.assign(pPayload, pPayload + payloadSize);
        records.push_back(std::move(record));
        at += 12 + uint64_t(headerSize) + payloadSize;
    }
    return records;
}

// The units of one stream, in file order.
inline std::vector<const SReadRecord*> UnitsOf(const std::vector<SReadRecord>& records, int32_t esno)
{
    std::vector<const SReadRecord*> units;
    for (const SReadRecord& record : records)
        if (record.tag.type() == kelm::UNIT && record.tag.unit().esno() == esno)
            units.push_back(&record);
    return units;
}

} // namespace KcFormatTest
