#include "lang/crc32.h"

static uint32_t CrcTable[256];

// Built on first use: entry 1 is never zero once the table exists.
static void BuildCrcTable()
{
    for (uint32_t i = 0; i < 256; ++i)
    {
        uint32_t r = i;
        for (int k = 0; k < 8; ++k)
            r = (r >> 1) ^ ((r & 1) ? 0xEDB88320u : 0);
        CrcTable[i] = r;
    }
}

static inline uint32_t CrcStep(uint32_t crc, uint8_t b)
{
    return CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

static inline uint32_t LoadLE32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}

uint32_t UpdateCrc32Bytewise(uint32_t crc, const void *data, size_t length)
{
    if (CrcTable[1] == 0)
        BuildCrcTable();
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < length; ++i)
        crc = CrcStep(crc, p[i]);
    return crc;
}

uint32_t UpdateCrc32(uint32_t crc, const void *data, size_t length)
{
    if (CrcTable[1] == 0)
        BuildCrcTable();
    const uint8_t *p = static_cast<const uint8_t *>(data);
    // Single bytes up to an 8-byte boundary, then two little-endian words
    // per step, then the tail.
    for (; length > 0 && ((uintptr_t)p & 7) != 0; --length)
        crc = CrcStep(crc, *p++);
    for (; length >= 8; length -= 8, p += 8)
    {
        crc ^= LoadLE32(p);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc ^= LoadLE32(p + 4);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
        crc = CrcTable[crc & 0xFF] ^ (crc >> 8);
    }
    for (; length > 0; --length)
        crc = CrcStep(crc, *p++);
    return crc;
}
