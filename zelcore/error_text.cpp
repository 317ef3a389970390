#include "zelcore.h"

#include <cstdint>
#include <cstring>

extern "C" ZELCORE_EXPORT const char* zelcore_error_text(std::int32_t code) {
    switch (code) {
    case ZELCORE_OK:
        return "success";
    case ZELCORE_ERR_SHORT_FILE:
        return "the file ends before the requested range";
    case ZELCORE_ERR_NOT_ONE_MEMBER:
        return "the archive does not hold exactly one file";
    case ZELCORE_ERR_BAD_ARCHIVE:
        return "not a readable ZIP archive";
    case ZELCORE_ERR_BAD_NAME:
        return "not a usable file name";
    case ZELCORE_ERR_BAD_ARGUMENT:
        return "invalid argument";
    case ZELCORE_ERR_WRITE:
        return "the archive could not be written";
    default:
        break;
    }
    if (code > 0) {
        // Unlike strerror, always English and safe to call from several threads at once.
        if (const char* text = ::strerrordesc_np(code))
            return text;
    }
    return "unknown error";
}
