#include "registration.h"

namespace zelshell {

HRESULT register_server() {
    return E_NOTIMPL;
}

HRESULT unregister_server() {
    return E_NOTIMPL;
}

} // namespace zelshell
