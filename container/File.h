#pragma once

#include "container/ErrorInfo.h"

#include <cstdint>
#include <functional>
#include <string>

namespace UtilsNameSpace {

// The engine's file object: every failure is reported as a code and a sentence naming the file.
// Read-only opens share the file with other readers; read-write opens hold it exclusively.
// Owned by the operation that opened it and never shared between threads.
class CFile {
public:
    enum EDisposition : int {
        CreateAlways = 0, // create, truncating an existing file
        CreateNew = 1,    // create; fail when the file exists
        OpenAlways = 2,   // open, creating the file when missing
        OpenExisting = 3, // open; fail when the file is missing
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile(); // closes the file, ignoring a close failure

    bool Open(const std::wstring& fileName, int disposition, bool bReadWrite, SErrorInfo* pError);
    bool Close(SErrorInfo* pError); // a failure is reported, yet the file is released either way
    bool IsOpen() const { return m_fd >= 0; }

    bool GetSize(uint64_t& size, SErrorInfo* pError) const;
    bool Seek(uint64_t position, SErrorInfo* pError);             // absolute
    bool Move(int64_t distance, SErrorInfo* pError);              // relative to the current position
    bool Read(void* pBuffer, uint64_t count, SErrorInfo* pError); // exactly count bytes or failure
    // Positional reads: they neither use nor move the file position. The first reads up to count
    // bytes and stops early only at the end of the file; done tells how many arrived, also when a
    // failure came after some of them. The second reads exactly count bytes, failing as Read does.
    bool ReadAt(uint64_t position, void* pBuffer, uint64_t count, uint64_t& done, SErrorInfo* pError);
    bool ReadAt(uint64_t position, void* pBuffer, uint64_t count, SErrorInfo* pError);
    bool Write(const void* pBuffer, uint64_t count, SErrorInfo* pError);
    // Tells the system the file is about to be read from start to end, so that it reads ahead
    // generously. Only a hint: nothing changes when the system ignores it.
    void AdviseSequentialRead();

    const std::wstring& FileName() const { return m_fileName; }
    const std::wstring& FullPath() const { return m_fullPath; }

    // The sleep of the retry loop on exhausted system resources; tests replace it.
    using SleepFunction = std::function<void(uint32_t milliseconds)>;
    static void SetSleepFunction(SleepFunction sleep); // an empty function restores the real sleep

private:
    int m_fd = -1;
    std::wstring m_fileName; // as the caller passed it
    std::wstring m_fullPath; // absolute, "." and ".." folded
};

// Runs a read or write system call, retrying with growing sleeps while it fails because system
// resources are exhausted (250 ms doubling, 60 s budget). Returns the call's last result; errno
// holds its error. Exposed for tests.
int64_t RetryOnExhaustedResources(const std::function<int64_t()>& call);

// Creates every missing directory of a path ("already exists" is not an error).
bool CreateDirectoryPath(const std::wstring& path, SErrorInfo* pError);

// Removes a file; false when it could not be removed (a missing file counts as removed), with
// the reason naming the file in pError.
bool DeleteFilePath(const std::wstring& path, SErrorInfo* pError = nullptr);

// Gives a file another name in the same file system, replacing a file of that name in one step:
// whoever looks at the new name sees either the old file or the new one, never a mixture.
bool RenameFilePath(const std::wstring& from, const std::wstring& to, SErrorInfo* pError);

// Sets a file's modification (and access) time to a UTC time in seconds since 1970.
bool SetFileModificationTime(const std::wstring& path, double utcSeconds, SErrorInfo* pError);

// Makes a path absolute against the working directory and folds "." and "..", without resolving
// links. Empty on failure.
std::wstring GetFullPath(const std::wstring& path);

// "<number> <system text>" without trailing full stop and line breaks.
std::wstring GetSystemErrorText(int errorNumber);

// Builds that text from an error number and the system's message for it; a null or empty message
// means the system has none, and lookupError then tells why. Exposed for tests.
std::wstring FormatSystemErrorText(int errorNumber, const char* pSystemMessage, int lookupError);

} // namespace UtilsNameSpace
