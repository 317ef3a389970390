#pragma once

#include "com.h"

namespace zelshell {

/// DllRegisterServer: the classes, the .zdb file type and the file managers' commands,
/// written for the current user into their XDG folders. Idempotent.
HRESULT register_server();
/// DllUnregisterServer: removes exactly what register_server wrote.
HRESULT unregister_server();

} // namespace zelshell
