/* The maker's helper library: CRC-32 of a byte range, Genesis SMD conversion and the
 * renaming of the single member of a ZIP archive. Plain C, loaded by name at run time. */
#ifndef ZELCORE_H
#define ZELCORE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZELCORE_EXPORT __attribute__((visibility("default")))

/* Result codes: 0 is success, a positive value is an errno value, negative values are ours. */
#define ZELCORE_OK 0
#define ZELCORE_ERR_SHORT_FILE (-1)     /* the file ended before the byte range did */
#define ZELCORE_ERR_NOT_ONE_MEMBER (-2) /* the archive does not hold exactly one member */
#define ZELCORE_ERR_BAD_ARCHIVE (-3)    /* not a readable ZIP archive */
#define ZELCORE_ERR_BAD_NAME (-4)       /* empty, ".", "..", or a path separator */
#define ZELCORE_ERR_BAD_ARGUMENT (-5)   /* a null pointer or a negative offset */
#define ZELCORE_ERR_WRITE (-6)          /* the archive could not be written back */

/* The standard reflected CRC-32 of ZIP files over `length` bytes from `offset`.
 * A length of 0 or less is the empty range (CRC 0). Returns 0 when the file cannot be read;
 * callers that must tell failure apart use zelcore_crc32_range. */
ZELCORE_EXPORT uint32_t file_crc32(const char* path, int32_t offset, int32_t length);

/* The same for files of any size, with a result code; *crc is set only on success. */
ZELCORE_EXPORT int32_t zelcore_crc32_range(const char* path, int64_t offset, int64_t length,
                                           uint32_t* crc);

/* Writes the plain image of an interleaved Genesis dump (512-byte header, then 16 KiB
 * blocks: first half the odd bytes, second half the even ones) to `target`. A file that is
 * not the header plus a whole number of blocks is copied unchanged. */
ZELCORE_EXPORT int32_t smd2bin(const char* source, const char* target);

/* Gives the single member of a ZIP archive the name `new_name` (no extension; the member
 * keeps its own, and loses any folders its stored name had). The archive is rewritten through a
 * temporary file and renamed over the original; on any failure it is left as it was. A read-only
 * archive gives EACCES. */
ZELCORE_EXPORT int32_t rename_inside_zip(const char* zip_path, const char* new_name);

/* A short English text for a result code. */
ZELCORE_EXPORT const char* zelcore_error_text(int32_t code);

#ifdef __cplusplus
}
#endif

#endif
