#pragma once

#include <vector>

#include "com.h"

namespace zelshell {

/// Makes a new object of a class, holding one reference for the caller.
using Creator = IUnknown* (*)();

struct ClassInfo {
    CLSID clsid;
    const char* name; ///< the class name; the program identifier is "ZelkonShell." + name
    Creator create;
};

/// Every class of the library, in the order their files were linked.
const std::vector<ClassInfo>& class_table();

/// Puts a class in the table; each class's file holds one, at namespace scope:
///     const ClassRegistration registration{CLSID_clsQueryInfo, "clsQueryInfo", &create};
struct ClassRegistration {
    ClassRegistration(const CLSID& clsid, const char* name, Creator create);
};

/// The class factory of one class.
HRESULT get_class_object(const CLSID& clsid, const IID& riid, void** ppv);

} // namespace zelshell
