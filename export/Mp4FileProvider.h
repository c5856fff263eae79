#pragma once

#include "container/ErrorInfo.h"
#include "container/File.h"

#include <cstdint>
#include <string>

namespace UtilsNameSpace {

// The file operations of the MP4 writer, done through a CFile. The first error of any operation
// (code and message) is kept until cleared, so that the writer can report the file system's own
// words instead of the library's generic failure.
class CMp4FileProvider {
public:
    enum EOpenMode : int {
        ModeRead = 1,   // existing file, read only
        ModeModify = 2, // existing file, read-write
        ModeCreate = 3, // created or truncated, read-write
    };

    CMp4FileProvider() = default;
    CMp4FileProvider(const CMp4FileProvider&) = delete;
    CMp4FileProvider& operator=(const CMp4FileProvider&) = delete;

    // The name is UTF-8. Any other mode fails with code 13 "Unknown open mode".
    bool Open(const std::string& fileName, int mode);
    bool Seek(uint64_t position);                    // absolute
    bool Read(void* pBuffer, uint64_t count);        // the full count or failure
    bool Write(const void* pBuffer, uint64_t count); // the full count or failure
    bool GetSize(uint64_t& size);
    bool Close();

    bool IsOpen() const { return m_file.IsOpen(); }
    // Position after the last successful seek, read or write; unspecified after a failure.
    uint64_t Position() const { return m_position; }
    const std::wstring& FullPath() const { return m_file.FullPath(); }

    // The first error since the last ClearError (code 0 = none).
    bool HasError() const { return m_error.code != 0; }
    const SErrorInfo& Error() const { return m_error; }
    void ClearError() { m_error = SErrorInfo(); }
    // Records an error found elsewhere (a library report) unless one is already kept.
    void RecordError(const SErrorInfo& error);

private:
    bool Keep(const SErrorInfo& error); // records and returns false

    CFile m_file;
    uint64_t m_position = 0;
    SErrorInfo m_error;
};

} // namespace UtilsNameSpace
