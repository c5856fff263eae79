#pragma once

#include <QString>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace KcLog {

// A log on wide-character text. Formats follow the C library's wide printf: "%ls" takes a wide
// string, "%s" a narrow one.
class CBaseLogW {
public:
    virtual ~CBaseLogW() = default;

    virtual bool close() = 0;
    virtual bool isOpen() = 0;
    virtual bool print(const wchar_t* format, ...);
    virtual bool printLine(const wchar_t* format, ...);
    virtual bool vprint(const wchar_t* format, va_list args) = 0;
    virtual bool vprintLine(const wchar_t* format, va_list args);
};

// The log on a stdio stream. Wide text reaches the file as UTF-8; the file caps its own size by
// cutting away its oldest part once the characters written exceed the cap.
class CFileLogW : public CBaseLogW {
public:
    CFileLogW() = default;
    CFileLogW(const CFileLogW&) = delete;
    CFileLogW& operator=(const CFileLogW&) = delete;
    ~CFileLogW() override;

    // bAppend keeps an existing file and counts its length; otherwise the file starts empty.
    // keepSize must be non-zero and below sizeCap.
    bool open(const std::wstring& fileName, bool bAppend, uint32_t keepSize, uint32_t sizeCap);

    bool close() override;
    bool isOpen() override { return m_pFile != nullptr; }
    bool vprint(const wchar_t* format, va_list args) override;

    uint32_t currentSize() const { return m_currentSize; }
    int lastError() const { return m_lastError; }
    const std::wstring& fileName() const { return m_fileName; }

private:
    bool openStream(const char* mode);
    bool closeStream();
    bool formatToBuffer(const wchar_t* format, va_list args, size_t& length);
    bool trimToTail();
    bool moveTailToFront(int fd);

    FILE* m_pFile = nullptr;
    uint32_t m_currentSize = 0; // length at open plus the characters written since
    uint32_t m_sizeCap = 0;
    uint32_t m_keepSize = 0;
    std::wstring m_fileName;
    int m_lastError = 0;
    std::vector<wchar_t> m_formatBuffer; // reused by every write
};

enum LogLevel : int {
    TRACE = 0,
    INFO = 1,
    WARNING = 2,
    ERROR = 3,
    FATAL = 4,
};

constexpr uint32_t kLogKeepSize = 512u * 1024u * 1024u;
constexpr uint32_t kLogSizeCap = 768u * 1024u * 1024u;

// The application log: one per process, used from the GUI thread only.
// On failure qsError receives a translated sentence naming the file and the system's reason.
bool logOpen(const QString& qsPath, QString& qsError, uint32_t keepSize = kLogKeepSize, uint32_t sizeCap = kLogSizeCap);
bool logClose();
QString logFilePath(); // empty while the log is closed

// The file name of the program's log, wherever it lives.
constexpr const char kLogFileName[] = "KelmConverter.log";
// $XDG_STATE_HOME/KelmConverter (an absolute XDG_STATE_HOME only), else ~/.local/state/KelmConverter.
QString stateLogFolder();
// Opens the log beside the executable when that folder takes it (a portable copy, the build
// tree); otherwise, and always for an installed copy, in stateLogFolder(), created as needed. qsError
// tells why the last place tried failed.
bool logOpenBesideOrInState(const QString& qsExeDir, QString& qsError);

// One entry: time stamp, tag, level, message and line end. A closed or failing log drops the
// entry silently; a log is never a reason to stop.
void logWrite(LogLevel level, const QString& qsTag, const QString& qsMessage);
// As logWrite, followed by an empty line: for milestones and fatal entries.
void logWriteSpaced(LogLevel level, const QString& qsTag, const QString& qsMessage);
// An empty line alone, which sets what follows apart (a user's request to close, say).
void logWriteEmptyLine();

} // namespace KcLog
