#include "core/Log.h"

#include "core/InstallPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

namespace KcLog {

namespace {

constexpr size_t kFirstFormatBufferSize = 4096;
constexpr size_t kMaxFormatBufferSize = size_t(1) << 20; // far beyond any entry; stops a runaway
constexpr uint64_t kTrimChunkSize = 32768;
constexpr size_t kMaxMessageLength = 2048;
constexpr size_t kCutMessageLength = 2046;

// Text and binary modes are the same here, so the modes carry no "t"; "e" keeps the log out of
// child processes (the file manager opened on the export folder).
constexpr const char* kAppendMode = "a+e";
constexpr const char* kCreateMode = "we";

QByteArray encodeFileName(const std::wstring& fileName)
{
    return QString::fromStdWString(fileName).toUtf8();
}

uint32_t clampToSize(uint64_t value)
{
    return uint32_t(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

int errnoOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

// pread/pwrite until the whole count has moved; a short transfer that cannot continue is a failure.
bool readFullAt(int fd, char* pBuffer, uint64_t count, uint64_t position)
{
    while (count > 0) {
        const ssize_t n = ::pread(fd, pBuffer, count, off_t(position));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pBuffer += n;
        count -= uint64_t(n);
        position += uint64_t(n);
    }
    return true;
}

bool writeFullAt(int fd, const char* pBuffer, uint64_t count, uint64_t position)
{
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, pBuffer, count, off_t(position));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pBuffer += n;
        count -= uint64_t(n);
        position += uint64_t(n);
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool CBaseLogW::print(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool bResult = vprint(format, args);
    va_end(args);
    return bResult;
}

bool CBaseLogW::printLine(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool bResult = vprintLine(format, args);
    va_end(args);
    return bResult;
}

bool CBaseLogW::vprintLine(const wchar_t* format, va_list args)
{
    const bool bText = vprint(format, args);
    const bool bLineEnd = print(L"\n");
    return bText && bLineEnd;
}

// ---------------------------------------------------------------------------------------------

CFileLogW::~CFileLogW()
{
    close();
}

bool CFileLogW::open(const std::wstring& fileName, bool bAppend, uint32_t keepSize, uint32_t sizeCap)
{
    if (keepSize == 0 || keepSize >= sizeCap) {
        m_lastError = EINVAL;
        return false;
    }
    if (!close())
        return false;

    m_keepSize = keepSize;
    m_sizeCap = sizeCap;
    m_fileName = fileName;
    m_lastError = 0;

    if (!bAppend) {
        if (!openStream(kCreateMode)) {
            m_fileName.clear();
            return false;
        }
        m_currentSize = 0;
        return true;
    }

    if (!openStream(kAppendMode)) {
        m_fileName.clear();
        return false;
    }
    off_t end = -1;
    errno = 0;
    if (::fseeko(m_pFile, 0, SEEK_END) != 0 || (end = ::ftello(m_pFile)) < 0) {
        const int error = errnoOr(EIO);
        closeStream();
        m_fileName.clear();
        m_lastError = error;
        return false;
    }
    m_currentSize = clampToSize(uint64_t(end));
    return true;
}

bool CFileLogW::close()
{
    m_lastError = 0;
    if (m_pFile == nullptr)
        return true;
    const bool bClosed = closeStream();
    m_fileName.clear();
    return bClosed;
}

bool CFileLogW::vprint(const wchar_t* format, va_list args)
{
    if (m_pFile == nullptr)
        return false;

    size_t length = 0;
    if (!formatToBuffer(format, args, length))
        return false;

    const QByteArray bytes = QString::fromWCharArray(m_formatBuffer.data(), int(length)).toUtf8();
    errno = 0;
    if (!bytes.isEmpty() && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_pFile) != size_t(bytes.size())) {
        m_lastError = errnoOr(EIO);
        std::clearerr(m_pFile); // let the next entry try again
        return false;
    }
    if (std::fflush(m_pFile) != 0) {
        m_lastError = errnoOr(EIO);
        std::clearerr(m_pFile);
        return false;
    }
    m_lastError = 0;
    m_currentSize = clampToSize(uint64_t(m_currentSize) + length);
    return trimToTail();
}

bool CFileLogW::openStream(const char* mode)
{
    m_pFile = std::fopen(encodeFileName(m_fileName).constData(), mode);
    if (m_pFile == nullptr) {
        m_lastError = errnoOr(EIO);
        return false;
    }
    return true;
}

// The stream is gone after fclose whether or not it reported an error, so it is never kept.
bool CFileLogW::closeStream()
{
    FILE* pFile = m_pFile;
    m_pFile = nullptr;
    errno = 0;
    if (std::fclose(pFile) != 0) {
        m_lastError = errnoOr(EIO);
        return false;
    }
    return true;
}

bool CFileLogW::formatToBuffer(const wchar_t* format, va_list args, size_t& length)
{
    if (m_formatBuffer.size() < kFirstFormatBufferSize)
        m_formatBuffer.resize(kFirstFormatBufferSize);
    for (;;) {
        va_list argsCopy;
        va_copy(argsCopy, args);
        errno = 0;
        const int n = std::vswprintf(m_formatBuffer.data(), m_formatBuffer.size(), format, argsCopy);
        va_end(argsCopy);
        if (n >= 0) {
            length = size_t(n);
            return true;
        }
        // -1 is either a short buffer or text that cannot be converted; only the first heals.
        if (errno == EILSEQ || m_formatBuffer.size() >= kMaxFormatBufferSize) {
            m_lastError = errnoOr(EOVERFLOW);
            return false;
        }
        m_formatBuffer.resize(m_formatBuffer.size() * 2);
    }
}

// Keeps the newest keep-size bytes once the log has grown past its cap. The stream is closed
// while the file is rewritten in place and reopened for appending afterwards.
bool CFileLogW::trimToTail()
{
    if (m_currentSize <= m_sizeCap)
        return true;
    if (!closeStream())
        return false; // the log stays closed

    bool bResult = true;
    const int fd = ::open(encodeFileName(m_fileName).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        m_lastError = errnoOr(EIO);
        bResult = false;
    } else {
        if (!moveTailToFront(fd))
            bResult = false;
        if (::close(fd) != 0 && bResult) {
            m_lastError = errnoOr(EIO);
            bResult = false;
        }
    }

    if (!openStream(kAppendMode))
        return false;
    return bResult;
}

bool CFileLogW::moveTailToFront(int fd)
{
    errno = 0;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) {
        m_lastError = errnoOr(EIO);
        return false;
    }
    m_currentSize = clampToSize(uint64_t(end));

    uint64_t keep = m_keepSize;
    if (uint64_t(end) <= keep)
        return true; // shorter than the part to keep (cut from outside): nothing to move
    uint64_t cut = uint64_t(end) - keep;

    // A cut right at a line end would leave an empty first line; otherwise the kept part starts
    // in the middle of a line, which is accepted.
    char byteAtCut = 0;
    if (!readFullAt(fd, &byteAtCut, 1, cut)) {
        m_lastError = errnoOr(EIO);
        return false;
    }
    if (byteAtCut == '\n') {
        ++cut;
        --keep;
    }

    // On a failed copy the file is left at its full length: its newest part stays intact at the
    // end and the next write tries again.
    std::vector<char> chunk(size_t(std::min(keep, kTrimChunkSize)));
    for (uint64_t done = 0; done < keep;) {
        const uint64_t count = std::min(keep - done, kTrimChunkSize);
        errno = 0;
        if (!readFullAt(fd, chunk.data(), count, cut + done) || !writeFullAt(fd, chunk.data(), count, done)) {
            m_lastError = errnoOr(EIO);
            return false;
        }
        done += count;
    }

    if (::ftruncate(fd, off_t(keep)) != 0) {
        m_lastError = errnoOr(EIO);
        return false;
    }
    m_currentSize = uint32_t(keep);
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {

CFileLogW& applicationLog()
{
    static CFileLogW log;
    return log;
}

QString& applicationLogPath()
{
    static QString path;
    return path;
}

const wchar_t* levelName(LogLevel level)
{
    switch (level) {
    case TRACE:
        return L"TRACE";
    case INFO:
        return L"INFO";
    case WARNING:
        return L"WARNING";
    case ERROR:
        return L"ERROR";
    case FATAL:
        return L"FATAL";
    }
    return L"     ";
}

// Messages carry text from files (camera names, JSON, paths): a line break or another control
// character in them must not start a forged entry or garble the line, so each is written as an
// escape ("\n", "\r", "\t", "\xNN").
std::wstring escapedMessage(const QString& qsMessage)
{
    std::wstring message;
    message.reserve(size_t(qsMessage.size()));
    for (const wchar_t c : qsMessage.toStdWString()) {
        if (c == L'\n') {
            message += L"\\n";
        } else if (c == L'\r') {
            message += L"\\r";
        } else if (c == L'\t') {
            message += L"\\t";
        } else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\x%.2X", unsigned(c));
            message += escape;
        } else {
            message += c;
        }
    }
    return message;
}

void writeEntry(LogLevel level, const QString& qsTag, const QString& qsMessage, bool bSpaced)
{
    CFileLogW& log = applicationLog();
    if (!log.isOpen())
        return;

    std::wstring message = escapedMessage(qsMessage);
    if (message.size() > kMaxMessageLength)
        message.resize(kCutMessageLength);
    const std::wstring tag = qsTag.toStdWString();

    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    log.print(L"[%.2lu.%.2lu.%lu %.2lu:%.2lu:%.2lu.%.3lu %-7ls %ls] ", (unsigned long)date.day(),
              (unsigned long)date.month(), (unsigned long)date.year(), (unsigned long)time.hour(),
              (unsigned long)time.minute(), (unsigned long)time.second(), (unsigned long)time.msec(), tag.c_str(),
              levelName(level));
    // The message is data, never a format: a "%" in a file name must not be interpreted.
    if (log.print(L"%ls", message.c_str()))
        log.print(L"\n");
    if (bSpaced)
        log.print(L"\n");
}

} // namespace

bool logOpen(const QString& qsPath, QString& qsError, uint32_t keepSize, uint32_t sizeCap)
{
    CFileLogW& log = applicationLog();
    if (log.open(qsPath.toStdWString(), true, keepSize, sizeCap)) {
        applicationLogPath() = qsPath;
        return true;
    }
    qsError = QCoreApplication::translate("KcLog", "Cannot open application Log file: ") + qsPath;
    if (const int error = log.lastError(); error != 0)
        qsError += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    applicationLogPath().clear();
    return false;
}

QString stateLogFolder()
{
    QString qsBase = qEnvironmentVariable("XDG_STATE_HOME");
    if (qsBase.isEmpty() || !QFileInfo(qsBase).isAbsolute())
        qsBase = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(qsBase + QStringLiteral("/KelmConverter"));
}

bool logOpenBesideOrInState(const QString& qsExeDir, QString& qsError)
{
    const QString qsName = QString::fromLatin1(kLogFileName);
    if (!KcPaths::isInstalledCopy(qsExeDir) && logOpen(qsExeDir + QLatin1Char('/') + qsName, qsError))
        return true;
    const QString qsFolder = stateLogFolder();
    QDir().mkpath(qsFolder); // a failure shows in the open below
    return logOpen(qsFolder + QLatin1Char('/') + qsName, qsError);
}

bool logClose()
{
    applicationLogPath().clear();
    return applicationLog().close();
}

QString logFilePath()
{
    return applicationLogPath();
}

void logWrite(LogLevel level, const QString& qsTag, const QString& qsMessage)
{
    writeEntry(level, qsTag, qsMessage, false);
}

void logWriteSpaced(LogLevel level, const QString& qsTag, const QString& qsMessage)
{
    writeEntry(level, qsTag, qsMessage, true);
}

void logWriteEmptyLine()
{
    CFileLogW& log = applicationLog();
    if (log.isOpen())
        log.print(L"\n");
}

} // namespace KcLog
