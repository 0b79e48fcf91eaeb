#include "lang/format.h"

namespace {

class BoundedWriter
{
public:
    BoundedWriter(char *dst, size_t size) : Dst(dst), Size(size), Len(0), Cut(false) {}

    void Put(char c)
    {
        if (Len + 1 < Size)
            Dst[Len++] = c;
        else
            Cut = true;
    }

    void Put(const char *s)
    {
        for (; *s != 0; ++s)
            Put(*s);
    }

    bool Finish()
    {
        if (Size > 0)
            Dst[Len] = 0;
        return !Cut && Size > 0;
    }

private:
    char *Dst;
    size_t Size;
    size_t Len;
    bool Cut;
};

} // namespace

bool FormatMessageText(char *dst, size_t size, const char *format,
                       const char *const *args, int argCount)
{
    BoundedWriter out(dst, size);
    int used = 0;
    for (const char *p = format; *p != 0; ++p)
    {
        if (*p == '%' && p[1] == '%')
        {
            out.Put('%');
            ++p;
        }
        else if (*p == '%' && p[1] == 's' && used < argCount)
        {
            out.Put(args[used] != NULL ? args[used] : "");
            ++used;
            ++p;
        }
        else
            out.Put(*p);
    }
    return out.Finish();
}

bool FormatMessageText1(char *dst, size_t size, const char *format, const char *arg)
{
    const char *args[1] = {arg};
    return FormatMessageText(dst, size, format, args, 1);
}
