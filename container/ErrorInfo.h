#pragma once

#include <cstdint>
#include <string>

namespace UtilsNameSpace {

// The engine's error record. Engine operations return bool and fill an optional SErrorInfo;
// messages are whole sentences that name the file.
struct SErrorInfo {
    int32_t code = 0;
    std::wstring message;
};

// Error codes shared by the engine.
enum : int32_t {
    kErrGeneral = 1,
    kErrAlreadyExists = 2,
    kErrCancelled = 4,
    kErrOffsetChange = 12,
    kErrInvalidArgument = 13,
    kErrBadData = 14,
    kErrSystemCall = 18,
    kErrTooLarge = 19,
    kErrAccessDenied = 20,
    kErrEndOfFile = 21,
    kErrStorageFull = 24,
    kErrNotFound = 26,
    kErrNotOpen = 28,
    kErrNotSupported = 29,
};

// All helpers accept a null record and then do nothing.
void SetErrorInfo(SErrorInfo* pError, int32_t code, const wchar_t* pMessage);
void SetErrorInfo(SErrorInfo* pError, int32_t code, const std::wstring& message);
// Prepends a context text ("File size get error: ") to the current message, keeping the code.
void PrefixErrorInfo(SErrorInfo* pError, const std::wstring& prefix);
// Sets the record to code 4 "Cancelled".
void SetCancelled(SErrorInfo* pError);
// Sets the record to code 1 "Out of memory", for a buffer that could not grow.
void SetOutOfMemory(SErrorInfo* pError);

} // namespace UtilsNameSpace
