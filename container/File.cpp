// The engine's only contact with the operating system: every platform call of the file utilities
// is in this file, so another platform needs only another version of it.
#include "container/File.h"

#include "container/FastDynArray.h"
#include "container/TextConvert.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <unistd.h>

namespace UtilsNameSpace {

namespace {

constexpr uint64_t kMaxRequest = 0xFFFFFFFFull;
constexpr uint32_t kFirstRetrySleep = 250;    // ms
constexpr uint32_t kRetrySleepBudget = 60000; // ms
constexpr size_t kMaxDirectoryErrorLength = 255;

std::mutex g_sleepMutex;
CFile::SleepFunction g_sleepFunction;

void RetrySleep(uint32_t milliseconds)
{
    CFile::SleepFunction sleep;
    {
        std::lock_guard<std::mutex> lock(g_sleepMutex);
        sleep = g_sleepFunction;
    }
    if (sleep)
        sleep(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool IsExhaustedResources(int errorNumber)
{
    return errorNumber == ENOMEM || errorNumber == ENOBUFS || errorNumber == EAGAIN;
}

bool IsStorageFull(int errorNumber)
{
    return errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EFBIG;
}

// strerror_r comes in two flavours: glibc's returns the text, the POSIX one fills the buffer and
// returns an error number (or -1 and errno). The overloads accept either.
[[maybe_unused]] const char* StrErrorResult(const char* pText, const char* /*pBuffer*/, int& lookupError)
{
    lookupError = pText ? 0 : EINVAL;
    return pText;
}

[[maybe_unused]] const char* StrErrorResult(int result, const char* pBuffer, int& lookupError)
{
    lookupError = result == -1 ? errno : result;
    return result == 0 ? pBuffer : nullptr;
}

// The system's message for an error number, or null (lookupError tells why).
const char* SystemMessage(int errorNumber, char* pBuffer, size_t bufferSize, int& lookupError)
{
    pBuffer[0] = '\0';
    return StrErrorResult(strerror_r(errorNumber, pBuffer, bufferSize), pBuffer, lookupError);
}

// The runtime library's text alone, as directory creation reports it.
std::wstring RuntimeErrorText(int errorNumber)
{
    char buffer[256];
    int lookupError = 0;
    const char* pMessage = SystemMessage(errorNumber, buffer, sizeof(buffer), lookupError);
    if (!pMessage || !*pMessage)
        return L"Unknown error";
    return Utf8ToWide(pMessage);
}

std::string CurrentDirectory(int& errorNumber)
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(&buffer[0], buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() >= (1u << 20)) {
            errorNumber = errno;
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Splits a path on "/" into its non-empty parts; false when the list cannot grow.
bool SplitPath(const std::wstring& path, CFastDynArray<SStringRef>& parts)
{
    parts.Clear();
    size_t i = 0;
    while (i < path.size()) {
        if (path[i] == L'/') {
            ++i;
            continue;
        }
        size_t end = path.find(L'/', i);
        if (end == std::wstring::npos)
            end = path.size();
        SStringRef part;
        part.start = static_cast<uint32_t>(i);
        part.length = static_cast<uint32_t>(end - i);
        if (!parts.Append(part))
            return false;
        i = end;
    }
    return true;
}

std::wstring MakeFullPath(const std::wstring& path, int& errorNumber)
{
    // An embedded NUL would silently cut the name the system sees.
    if (path.empty() || path.find(L'\0') != std::wstring::npos || path.size() >= UINT32_MAX) {
        errorNumber = EINVAL;
        return std::wstring();
    }
    std::wstring absolute;
    if (path[0] == L'/') {
        absolute = path;
    } else {
        const std::string currentDirectory = CurrentDirectory(errorNumber);
        if (currentDirectory.empty())
            return std::wstring();
        absolute = Utf8ToWide(currentDirectory) + L"/" + path;
    }

    // Fold "." and ".." by the text alone, without asking the file system about links.
    CFastDynArray<SStringRef> parts;
    if (!SplitPath(absolute, parts)) {
        errorNumber = ENOMEM;
        return std::wstring();
    }
    std::wstring result;
    for (uint32_t i = 0; i < parts.Count(); ++i) {
        const std::wstring part = absolute.substr(parts[i].start, parts[i].length);
        if (part == L".")
            continue;
        if (part == L"..") {
            const size_t lastSeparator = result.rfind(L'/');
            if (lastSeparator != std::wstring::npos)
                result.erase(lastSeparator);
            continue;
        }
        result += L'/';
        result += part;
    }
    if (result.empty())
        result = L"/";
    return result;
}

bool IsDirectory(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ParentDirectoryExists(const std::wstring& fullPath)
{
    const size_t lastSeparator = fullPath.rfind(L'/');
    if (lastSeparator == std::wstring::npos || lastSeparator == 0)
        return true;
    return IsDirectory(WideToUtf8(fullPath.substr(0, lastSeparator)));
}

void SetOpenError(int errorNumber, const std::wstring& fullPath, SErrorInfo* pError)
{
    const std::wstring prefix = L"File '" + fullPath;
    switch (errorNumber) {
    case ENOENT:
        if (ParentDirectoryExists(fullPath))
            SetErrorInfo(pError, kErrNotFound, prefix + L"' not found");
        else
            SetErrorInfo(pError, kErrNotFound, prefix + L"' path not found");
        break;
    case ENOTDIR:
        SetErrorInfo(pError, kErrNotFound, prefix + L"' path not found");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // a directory is no file to read or write
        SetErrorInfo(pError, kErrAccessDenied, prefix + L"' access denied");
        break;
    case EWOULDBLOCK: // a lock or lease held by another opener
    case ETXTBSY:     // a running program's image
        SetErrorInfo(pError, kErrAccessDenied, prefix + L"' sharing violation");
        break;
    case EEXIST:
        SetErrorInfo(pError, kErrAlreadyExists, prefix + L"' already exists");
        break;
    default:
        SetErrorInfo(pError, kErrGeneral, prefix + L"' create or open error: " + GetSystemErrorText(errorNumber));
        break;
    }
}

void SetNotOpen(SErrorInfo* pError)
{
    SetErrorInfo(pError, kErrNotOpen, L"File not open");
}

// The checks every read and write makes before touching the file.
enum class ETransfer { Refused, Nothing, Go };

ETransfer CheckTransfer(bool bOpen, uint64_t count, const wchar_t* pTooLarge, SErrorInfo* pError)
{
    if (!bOpen) {
        SetNotOpen(pError);
        return ETransfer::Refused;
    }
    if (count == 0)
        return ETransfer::Nothing;
    if (count > kMaxRequest) {
        SetErrorInfo(pError, kErrTooLarge, pTooLarge);
        return ETransfer::Refused;
    }
    return ETransfer::Go;
}

} // namespace

std::wstring FormatSystemErrorText(int errorNumber, const char* pSystemMessage, int lookupError)
{
    if (!pSystemMessage || !*pSystemMessage) {
        return L"Can't get system error message: FormatMessage(...) error code: "
               + std::to_wstring(static_cast<unsigned long>(static_cast<uint32_t>(lookupError)));
    }
    std::wstring message = Utf8ToWide(pSystemMessage);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L'.'))
        message.pop_back();
    return std::to_wstring(errorNumber) + L" " + message;
}

std::wstring GetSystemErrorText(int errorNumber)
{
    char buffer[256];
    int lookupError = 0;
    const char* pMessage = SystemMessage(errorNumber, buffer, sizeof(buffer), lookupError);
    return FormatSystemErrorText(errorNumber, pMessage, lookupError);
}

int64_t RetryOnExhaustedResources(const std::function<int64_t()>& call)
{
    uint32_t sleep = kFirstRetrySleep;
    uint32_t budget = kRetrySleepBudget;
    for (;;) {
        const int64_t result = call();
        if (result >= 0)
            return result;
        const int errorNumber = errno;
        if (errorNumber == EINTR)
            continue;
        if (!IsExhaustedResources(errorNumber) || sleep == 0)
            return result;
        RetrySleep(sleep);
        budget -= sleep;
        sleep = std::min(sleep * 2, budget);
        errno = errorNumber;
    }
}

void CFile::SetSleepFunction(SleepFunction sleep)
{
    std::lock_guard<std::mutex> lock(g_sleepMutex);
    g_sleepFunction = std::move(sleep);
}

CFile::~CFile()
{
    Close(nullptr);
}

bool CFile::Open(const std::wstring& fileName, int disposition, bool bReadWrite, SErrorInfo* pError)
{
    if (fileName.empty()) {
        SetErrorInfo(pError, kErrInvalidArgument, L"No file name");
        return false;
    }
    if (IsOpen()) {
        SetErrorInfo(pError, kErrAlreadyExists,
                     L"Can't open the file '" + fileName + L"': object already holds the file '" + m_fullPath + L"'");
        return false;
    }
    int pathError = 0;
    const std::wstring fullPath = MakeFullPath(fileName, pathError);
    if (fullPath.empty()) {
        SetErrorInfo(pError, kErrSystemCall,
                     L"GetFullPathName(pFileName, 0, NULL, NULL) error for the file name '" + fileName + L"': "
                         + GetSystemErrorText(pathError));
        return false;
    }

    // O_NONBLOCK keeps a FIFO without writer from hanging the open; it is cleared afterwards.
    int flags = (bReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    bool bTruncate = false;
    switch (disposition) {
    case CreateAlways:
        flags |= O_CREAT;
        // Truncate only once the lock is ours, so that a file another opener holds keeps its
        // data. A read-only descriptor cannot be truncated later, so it truncates on open.
        if (bReadWrite)
            bTruncate = true;
        else
            flags |= O_TRUNC;
        break;
    case CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case OpenAlways:
        flags |= O_CREAT;
        break;
    case OpenExisting:
        break;
    default:
        SetOpenError(EINVAL, fullPath, pError);
        return false;
    }

    const std::string systemPath = WideToUtf8(fullPath);
    int fd;
    do {
        fd = ::open(systemPath.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetOpenError(errno, fullPath, pError);
        return false;
    }

    auto fail = [&](int errorNumber) {
        ::close(fd);
        SetOpenError(errorNumber, fullPath, pError);
        return false;
    };

    struct stat info;
    if (::fstat(fd, &info) != 0)
        return fail(errno);
    if (S_ISDIR(info.st_mode))
        return fail(EISDIR);
    const int statusFlags = ::fcntl(fd, F_GETFL);
    if (statusFlags < 0 || ::fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK) < 0)
        return fail(errno);

    // Readers share the file; a writer holds it alone.
    int lockResult;
    do {
        lockResult = ::flock(fd, (bReadWrite ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (lockResult < 0 && errno == EINTR);
    if (lockResult < 0)
        return fail(errno);

    // An empty file is left alone: a truncation marks the file for ext4's write-out at close
    // (its guard for files rewritten in place), which would make closing a new file as slow as
    // writing it all to disk.
    if (bTruncate && info.st_size > 0) {
        int truncateResult;
        do {
            truncateResult = ::ftruncate(fd, 0);
        } while (truncateResult < 0 && errno == EINTR);
        if (truncateResult < 0)
            return fail(errno);
    }

    m_fd = fd;
    m_fileName = fileName;
    m_fullPath = fullPath;
    return true;
}

bool CFile::Close(SErrorInfo* pError)
{
    if (!IsOpen())
        return true;
    // The descriptor is released even when close reports an error, so the object is closed
    // either way; keeping the number could later close a file someone else opened under it.
    const int fd = m_fd;
    const std::wstring fullPath = std::move(m_fullPath);
    m_fd = -1;
    m_fullPath.clear();
    m_fileName.clear();
    if (::close(fd) != 0 && errno != EINTR) {
        SetErrorInfo(pError, kErrSystemCall,
                     L"File '" + fullPath + L"' CloseHandle() error: " + GetSystemErrorText(errno));
        return false;
    }
    return true;
}

bool CFile::GetSize(uint64_t& size, SErrorInfo* pError) const
{
    if (!IsOpen()) {
        SetNotOpen(pError);
        return false;
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0) {
        SetErrorInfo(pError, kErrSystemCall,
                     L"File '" + m_fullPath + L"' GetFileSizeEx() error: " + GetSystemErrorText(errno));
        return false;
    }
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool CFile::Seek(uint64_t position, SErrorInfo* pError)
{
    if (!IsOpen()) {
        SetNotOpen(pError);
        return false;
    }
    int errorNumber = EINVAL;
    if (position <= static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        if (::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) >= 0)
            return true;
        errorNumber = errno;
    }
    SetErrorInfo(pError, kErrSystemCall,
                 L"File '" + m_fullPath + L"' SetFilePointerEx() error: " + GetSystemErrorText(errorNumber));
    return false;
}

bool CFile::Move(int64_t distance, SErrorInfo* pError)
{
    if (!IsOpen()) {
        SetNotOpen(pError);
        return false;
    }
    if (::lseek(m_fd, static_cast<off_t>(distance), SEEK_CUR) >= 0)
        return true;
    SetErrorInfo(pError, kErrSystemCall,
                 L"File '" + m_fullPath + L"' SetFilePointerEx() error: " + GetSystemErrorText(errno));
    return false;
}

bool CFile::Read(void* pBuffer, uint64_t count, SErrorInfo* pError)
{
    const ETransfer transfer = CheckTransfer(IsOpen(), count, L"Data size to read larger 0xFFFFFFFF", pError);
    if (transfer != ETransfer::Go)
        return transfer == ETransfer::Nothing;
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    uint64_t done = 0;
    // The system may return less than asked before the end of the file; keep reading.
    while (done < count) {
        const int64_t result = RetryOnExhaustedResources(
            [&]() -> int64_t { return ::read(m_fd, pBytes + done, static_cast<size_t>(count - done)); });
        if (result < 0) {
            SetErrorInfo(pError, kErrSystemCall,
                         L"File '" + m_fullPath + L"' read error: " + GetSystemErrorText(errno));
            return false;
        }
        if (result == 0) {
            SetErrorInfo(pError, kErrEndOfFile, L"End of file");
            return false;
        }
        done += static_cast<uint64_t>(result);
    }
    return true;
}

bool CFile::ReadAt(uint64_t position, void* pBuffer, uint64_t count, uint64_t& done, SErrorInfo* pError)
{
    done = 0;
    const ETransfer transfer = CheckTransfer(IsOpen(), count, L"Data size to read larger 0xFFFFFFFF", pError);
    if (transfer != ETransfer::Go)
        return transfer == ETransfer::Nothing;
    constexpr uint64_t kMaxPosition = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    while (done < count) {
        // No file reaches beyond the largest position; the system would refuse it the same way.
        int errorNumber = EINVAL;
        int64_t result = -1;
        if (position <= kMaxPosition - done) {
            const off_t at = static_cast<off_t>(position + done);
            result = RetryOnExhaustedResources(
                [&]() -> int64_t { return ::pread(m_fd, pBytes + done, static_cast<size_t>(count - done), at); });
            errorNumber = errno;
        }
        if (result < 0) {
            SetErrorInfo(pError, kErrSystemCall,
                         L"File '" + m_fullPath + L"' read error: " + GetSystemErrorText(errorNumber));
            return false;
        }
        if (result == 0)
            break;
        done += static_cast<uint64_t>(result);
    }
    return true;
}

void CFile::AdviseSequentialRead()
{
    if (IsOpen())
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool CFile::ReadAt(uint64_t position, void* pBuffer, uint64_t count, SErrorInfo* pError)
{
    uint64_t done = 0;
    if (!ReadAt(position, pBuffer, count, done, pError))
        return false;
    if (done < count) {
        SetErrorInfo(pError, kErrEndOfFile, L"End of file");
        return false;
    }
    return true;
}

bool CFile::Write(const void* pBuffer, uint64_t count, SErrorInfo* pError)
{
    const ETransfer transfer = CheckTransfer(IsOpen(), count, L"Data size to write larger 0xFFFFFFFF bytes", pError);
    if (transfer != ETransfer::Go)
        return transfer == ETransfer::Nothing;
    const auto* pBytes = static_cast<const unsigned char*>(pBuffer);
    uint64_t done = 0;
    // A short write is followed by another one, which reports why the rest did not fit.
    while (done < count) {
        const int64_t result = RetryOnExhaustedResources(
            [&]() -> int64_t { return ::write(m_fd, pBytes + done, static_cast<size_t>(count - done)); });
        if (result < 0) {
            const int errorNumber = errno;
            if (IsStorageFull(errorNumber)) {
                SetErrorInfo(pError, kErrStorageFull,
                             L"File '" + m_fullPath + L"' write error: "
                                 + L"Not enough space on storage device or file exceeds the file size limit");
            } else {
                SetErrorInfo(pError, kErrSystemCall,
                             L"File '" + m_fullPath + L"' write error: " + GetSystemErrorText(errorNumber));
            }
            return false;
        }
        if (result == 0) {
            SetErrorInfo(pError, kErrSystemCall,
                         L"Actual number of bytes written does not match with the requested for the file '" + m_fullPath
                             + L"'");
            return false;
        }
        done += static_cast<uint64_t>(result);
    }
    return true;
}

std::wstring GetFullPath(const std::wstring& path)
{
    int errorNumber = 0;
    return MakeFullPath(path, errorNumber);
}

bool CreateDirectoryPath(const std::wstring& path, SErrorInfo* pError)
{
    const std::wstring fullPath = path.empty() ? std::wstring() : GetFullPath(path);
    if (fullPath.empty()) {
        SetErrorInfo(pError, kErrEndOfFile, L"No path parts");
        return false;
    }
    CFastDynArray<SStringRef> parts;
    if (!SplitPath(fullPath, parts)) {
        SetOutOfMemory(pError);
        return false;
    }

    // Every level is created in turn, the root excluded; existing levels are passed over.
    std::wstring prefix;
    for (uint32_t i = 0; i < parts.Count(); ++i) {
        prefix += L'/';
        prefix.append(fullPath, parts[i].start, parts[i].length);
        const std::string systemPath = WideToUtf8(prefix);
        if (::mkdir(systemPath.c_str(), 0777) == 0)
            continue;
        const int errorNumber = errno;
        // An existing directory may answer "access denied" or "read-only" instead of "exists".
        if (IsDirectory(systemPath))
            continue;
        if (errorNumber == ENOSPC || errorNumber == EDQUOT) {
            SetErrorInfo(pError, kErrStorageFull, L"No storage space");
            return false;
        }
        // A file under the name: the directory is not there after all. On the way to deeper
        // levels that file is what stops the path.
        const int reportedError = errorNumber == EEXIST && i + 1 < parts.Count() ? ENOTDIR : errorNumber;
        std::wstring message = L"Directory creation error: " + RuntimeErrorText(reportedError);
        if (message.size() > kMaxDirectoryErrorLength)
            message.resize(kMaxDirectoryErrorLength);
        SetErrorInfo(pError, kErrSystemCall, message);
        return false;
    }
    return true;
}

namespace {

bool IsUsablePath(const std::wstring& path, SErrorInfo* pError)
{
    if (!path.empty() && path.find(L'\0') == std::wstring::npos)
        return true;
    SetErrorInfo(pError, kErrInvalidArgument, L"Invalid file name '" + path + L"'");
    return false;
}

// "<what>: <system text>", with a code as the open errors have it.
void SetPathError(int errorNumber, const std::wstring& what, SErrorInfo* pError)
{
    int32_t code = kErrSystemCall;
    if (errorNumber == ENOENT || errorNumber == ENOTDIR)
        code = kErrNotFound;
    else if (errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS || errorNumber == EBUSY
             || errorNumber == EISDIR)
        code = kErrAccessDenied;
    else if (IsStorageFull(errorNumber))
        code = kErrStorageFull;
    SetErrorInfo(pError, code, what + L": " + GetSystemErrorText(errorNumber));
}

} // namespace

bool DeleteFilePath(const std::wstring& path, SErrorInfo* pError)
{
    if (!IsUsablePath(path, pError))
        return false;
    if (::unlink(WideToUtf8(path).c_str()) == 0 || errno == ENOENT)
        return true;
    SetPathError(errno, L"File '" + path + L"' deletion error", pError);
    return false;
}

bool RenameFilePath(const std::wstring& from, const std::wstring& to, SErrorInfo* pError)
{
    if (!IsUsablePath(from, pError) || !IsUsablePath(to, pError))
        return false;
    if (::rename(WideToUtf8(from).c_str(), WideToUtf8(to).c_str()) == 0)
        return true;
    SetPathError(errno, L"File '" + from + L"' renaming to '" + to + L"' error", pError);
    return false;
}

bool SetFileModificationTime(const std::wstring& path, double utcSeconds, SErrorInfo* pError)
{
    if (!IsUsablePath(path, pError))
        return false;
    if (!(utcSeconds >= 0) || utcSeconds > static_cast<double>(std::numeric_limits<time_t>::max() / 2)) {
        SetErrorInfo(pError, kErrInvalidArgument, L"Invalid time for the file '" + path + L"'");
        return false;
    }
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(utcSeconds);
    times[0].tv_nsec = static_cast<long>((utcSeconds - static_cast<double>(times[0].tv_sec)) * 1e9);
    if (times[0].tv_nsec > 999999999L)
        times[0].tv_nsec = 999999999L;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, WideToUtf8(path).c_str(), times, 0) == 0)
        return true;
    SetPathError(errno, L"File '" + path + L"' time setting error", pError);
    return false;
}

} // namespace UtilsNameSpace
