// Growable array of 32-bit integers: the language file's line index.
#ifndef VELMOR_LANG_ARRAY_H
#define VELMOR_LANG_ARRAY_H

#include <stdint.h>
#include <stdlib.h>

#include "platform/fatal.h"

template <class T> class Array
{
public:
    Array() : Items(NULL), Count(0), Capacity(0) {}
    ~Array() { free(Items); }
    Array(const Array &) = delete;
    Array &operator=(const Array &) = delete;

    // Grows the count by n. Capacity goes 32, 72, 122, 184, 262, ...; when
    // the storage cannot grow the program ends with the memory error.
    void AddSize(int32_t n)
    {
        if (n < 0 || n > INT32_MAX - Count)
            RaiseFatalError(FatalOutOfMemory);
        Count += n;
        if (Count <= Capacity)
            return;
        int64_t wanted = (int64_t)Capacity / 4 + Capacity + 32;
        if (wanted < Count)
            wanted = Count;
        if (wanted > INT32_MAX / (int64_t)sizeof(T))
            RaiseFatalError(FatalOutOfMemory);
        T *grown = static_cast<T *>(realloc(Items, (size_t)wanted * sizeof(T)));
        if (grown == NULL)
            RaiseFatalError(FatalOutOfMemory);
        Items = grown;
        Capacity = (int32_t)wanted;
    }

    void Add(T value)
    {
        AddSize(1);
        Items[Count - 1] = value;
    }

    T *Items;
    int32_t Count;
    int32_t Capacity;
};

#endif
