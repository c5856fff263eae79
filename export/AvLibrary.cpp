#include "export/AvLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace KELMNameSpace {

namespace {

struct SLoaded {
    const SAvFunctions* pFunctions = nullptr;
    std::string why;
};

SLoaded Load()
{
    SLoaded loaded;
    // Kept loaded for the life of the process: the library's log callback and its allocations
    // may outlive any one writer.
    void* pModule = dlopen(kAvModuleName, RTLD_NOW | RTLD_LOCAL);
    if (!pModule) {
        const char* pError = dlerror();
        loaded.why = pError ? pError : "cannot load " + std::string(kAvModuleName);
        return loaded;
    }
    auto entry = reinterpret_cast<AvFunctionsEntry>(dlsym(pModule, kAvModuleEntry));
    const SAvFunctions* pFunctions = entry ? entry() : nullptr;
    if (!pFunctions || pFunctions->structSize != sizeof(SAvFunctions)
        || pFunctions->formatVersion != LIBAVFORMAT_VERSION_INT) {
        loaded.why = std::string(kAvModuleName) + " does not match this program's build";
        return loaded;
    }
    loaded.pFunctions = pFunctions;
    return loaded;
}

} // namespace

const SAvFunctions* LoadAvFunctions(std::string* pWhy)
{
    static std::once_flag once;
    static SLoaded loaded;
    std::call_once(once, [] { loaded = Load(); });
    if (!loaded.pFunctions && pWhy)
        *pWhy = loaded.why;
    return loaded.pFunctions;
}

} // namespace KELMNameSpace
