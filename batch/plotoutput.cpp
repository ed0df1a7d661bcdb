#include "batch/plotoutput.h"

#include "pictures/module.h"

#include <filesystem>
#include <string>

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace kov::batch {

namespace {

/// Where the module lies: KOV_PICTURE_MODULE_DIR relative to the folder of
/// this program, in the build tree as after installing. Empty, with error
/// set, when the program's own path cannot be read whole: the module is then
/// never looked for elsewhere (the current folder would let whoever owns it
/// choose the code that runs).
std::string modulePath(std::string &error)
{
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe);
    if (n <= 0 || exe[0] != '/') {
        error = "the picture module cannot be found: the program's own path cannot be read from /proc/self/exe";
        return {};
    }
    if (static_cast<std::size_t>(n) >= sizeof exe) {
        error = "the picture module cannot be found: the program's own path is longer than " +
                std::to_string(sizeof exe - 1) + " bytes";
        return {};
    }
    std::string folder(exe, static_cast<std::size_t>(n));
    folder.erase(folder.find_last_of('/'));
    return std::filesystem::path(folder + "/" KOV_PICTURE_MODULE_DIR "/" KOV_PICTURE_MODULE).lexically_normal();
}

/// The module's entry, loaded once; or why it cannot be loaded.
struct Module {
    KovPictureEntry entry = nullptr;
    std::string error;
};

const Module &module()
{
    static const Module loaded = [] {
        Module m;
        const std::string path = modulePath(m.error);
        if (path.empty())
            return m;
        // The module stays loaded until the program ends: Qt does not
        // like to be unloaded.
        void *handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            // dlerror() starts with the path, which the message names already.
            std::string why = ::dlerror();
            if (why.starts_with(path + ": "))
                why.erase(0, path.size() + 2);
            m.error = "the picture module " + path + " cannot be loaded: " + why;
            return m;
        }
        m.entry = reinterpret_cast<KovPictureEntry>(::dlsym(handle, KOV_PICTURE_ENTRY));
        if (m.entry == nullptr)
            m.error = "the picture module " + path + " has no entry " KOV_PICTURE_ENTRY;
        return m;
    }();
    return loaded;
}

} // namespace

namespace {

/// Hands the request to the module; false with error set when it fails or
/// cannot be loaded ("cannot draw p.png: the picture module ... cannot be loaded").
bool run(KovPictureRequest &request, const std::string &what, std::string &error)
{
    const Module &m = module();
    if (m.entry == nullptr) {
        error = what + ": " + m.error;
        return false;
    }
    request.abi = KOV_PICTURE_ABI;
    if (m.entry(&request) == 0)
        return true;
    error = request.error;
    return false;
}

} // namespace

bool writeRecordPlot(const SharedState &state, const std::string &path, double scale, std::string &error)
{
    KovPictureRequest request{};
    request.kind = KovLoopPicture;
    request.state = &state;
    request.path = path.c_str();
    request.scale = scale;
    return run(request, "cannot draw " + path, error);
}

} // namespace kov::batch
