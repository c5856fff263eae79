#include "container/ErrorInfo.h"

namespace UtilsNameSpace {

void SetErrorInfo(SErrorInfo* pError, int32_t code, const wchar_t* pMessage)
{
    if (!pError)
        return;
    pError->code = code;
    if (pMessage)
        pError->message = pMessage;
    else
        pError->message.clear();
}

void SetErrorInfo(SErrorInfo* pError, int32_t code, const std::wstring& message)
{
    if (!pError)
        return;
    pError->code = code;
    pError->message = message;
}

void PrefixErrorInfo(SErrorInfo* pError, const std::wstring& prefix)
{
    if (!pError)
        return;
    pError->message.insert(0, prefix);
}

void SetCancelled(SErrorInfo* pError)
{
    SetErrorInfo(pError, kErrCancelled, L"Cancelled");
}

void SetOutOfMemory(SErrorInfo* pError)
{
    SetErrorInfo(pError, kErrGeneral, L"Out of memory");
}

} // namespace UtilsNameSpace
