// CRC-32 of IEEE 802.3 (reflected, polynomial 0xEDB88320). The caller
// applies the initial value 0xFFFFFFFF and the final complement.
#ifndef VELMOR_LANG_CRC32_H
#define VELMOR_LANG_CRC32_H

#include <stddef.h>
#include <stdint.h>

uint32_t UpdateCrc32(uint32_t crc, const void *data, size_t length);

// The byte-at-a-time rule, kept for comparison with the fast path.
uint32_t UpdateCrc32Bytewise(uint32_t crc, const void *data, size_t length);

#endif
