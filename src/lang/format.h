// Formatting of message texts that may come from a translator (language
// module or language file): only "%s" and "%%" are interpreted, and never
// more arguments are read than given. Any other '%' sequence, and a "%s"
// beyond the given arguments, is copied as it stands.
#ifndef VELMOR_LANG_FORMAT_H
#define VELMOR_LANG_FORMAT_H

#include <stddef.h>

// Writes into dst (size bytes, always terminated when size > 0); returns
// false when the result had to be cut.
bool FormatMessageText(char *dst, size_t size, const char *format,
                       const char *const *args, int argCount);

// The common case of one "%s".
bool FormatMessageText1(char *dst, size_t size, const char *format, const char *arg);

#endif
