#include "export/AvLibrary.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace KELMNameSpace {

namespace {

struct SLoaded {
    const SAvFunctions* pFunctions = nullptr;
    std::string why;
};

// Where the module is: beside the installed program in its private library folder, else in the
// build tree the program was built in. The paths are explicit because a run path would be read
// from whichever binary calls dlopen, which under a sanitizer is the sanitizer's runtime.
std::vector<std::string> ModulePaths()
{
    std::vector<std::string> paths;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        paths.push_back((program.parent_path() / KC_AV_FROM_BIN / kAvModuleName).string());
    paths.push_back(KC_AV_BUILD_DIR "/" + std::string(kAvModuleName));
    return paths;
}

SLoaded Load()
{
    SLoaded loaded;
    // Kept loaded for the life of the process: the library's log callback and its allocations
    // may outlive any one writer.
    void* pModule = nullptr;
    for (const std::string& path : ModulePaths()) {
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            continue;
        pModule = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!pModule) {
            const char* pError = dlerror();
            loaded.why = pError ? pError : "cannot load " + path;
            return loaded;
        }
        break;
    }
    if (!pModule) {
        loaded.why = "cannot find " + std::string(kAvModuleName) + " beside the program";
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
