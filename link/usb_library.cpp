#include "link/usb_library.h"

#include <dlfcn.h>
#include <type_traits>

namespace usblib {
namespace {

// Empty unless the whole set was found.
Functions loaded;
bool tried = false;

// All or nothing: a half-found set would fail in the middle of a search.
bool resolve(void* scope, Functions& f)
{
    bool all = true;
    auto find = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(scope, name));
        all = all && slot != nullptr;
    };
#define QV750_USB_FIND(name) find(f.name, #name);
    QV750_USB_FUNCTIONS(QV750_USB_FIND)
#undef QV750_USB_FIND
    return all;
}

} // namespace

const Functions* load(const char* library, bool globalScopeFirst)
{
    tried = true;
    Functions f;
    // The global scope comes first so that a preloaded simulator takes the
    // library's place even where the library is installed.
    bool found = globalScopeFirst && resolve(RTLD_DEFAULT, f);
    if (!found && library != nullptr) {
        // Never closed: handles and bus lists of the library may outlive any caller.
        if (void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL)) {
            found = resolve(handle, f);
            if (!found)
                dlclose(handle);
        }
    }
    loaded = found ? f : Functions{};
    return found ? &loaded : nullptr;
}

const Functions* functions()
{
    if (!tried)
        return load();
    return loaded.usb_init != nullptr ? &loaded : nullptr;
}

} // namespace usblib
