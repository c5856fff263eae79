#include "export/Mp4FileProvider.h"

#include "container/TextConvert.h"

namespace UtilsNameSpace {

void CMp4FileProvider::RecordError(const SErrorInfo& error)
{
    if (!HasError() && error.code != 0)
        m_error = error;
}

bool CMp4FileProvider::Keep(const SErrorInfo& error)
{
    RecordError(error);
    return false;
}

bool CMp4FileProvider::Open(const std::string& fileName, int mode)
{
    int disposition = CFile::OpenExisting;
    bool bReadWrite = false;
    switch (mode) {
    case ModeRead:
        break;
    case ModeModify:
        bReadWrite = true;
        break;
    case ModeCreate:
        disposition = CFile::CreateAlways;
        bReadWrite = true;
        break;
    default: {
        SErrorInfo error;
        SetErrorInfo(&error, kErrInvalidArgument, L"Unknown open mode");
        return Keep(error);
    }
    }
    SErrorInfo error;
    if (!m_file.Open(Utf8ToWide(fileName), disposition, bReadWrite, &error))
        return Keep(error);
    m_position = 0;
    return true;
}

bool CMp4FileProvider::Seek(uint64_t position)
{
    SErrorInfo error;
    if (!m_file.Seek(position, &error))
        return Keep(error);
    m_position = position;
    return true;
}

bool CMp4FileProvider::Read(void* pBuffer, uint64_t count)
{
    SErrorInfo error;
    if (!m_file.Read(pBuffer, count, &error))
        return Keep(error);
    m_position += count;
    return true;
}

bool CMp4FileProvider::Write(const void* pBuffer, uint64_t count)
{
    SErrorInfo error;
    if (!m_file.Write(pBuffer, count, &error))
        return Keep(error);
    m_position += count;
    return true;
}

bool CMp4FileProvider::GetSize(uint64_t& size)
{
    SErrorInfo error;
    if (!m_file.GetSize(size, &error))
        return Keep(error);
    return true;
}

bool CMp4FileProvider::Close()
{
    SErrorInfo error;
    if (!m_file.Close(&error))
        return Keep(error);
    m_position = 0;
    return true;
}

} // namespace UtilsNameSpace
