// libFuzzer entry; the work is in FuzzEntries.cpp, shared with the regression test.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t size)
{
    KcFuzz::RunContentPrepare(pData, size);
    return 0;
}
