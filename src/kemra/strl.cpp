// Bounded string copy and append, for C libraries that lack them. Where the C
// library has its own (glibc 2.38 and later, the BSDs), that one is used; the
// semantics are the same.
#include <kemra/libkemra.h>

#include <cstring>

extern "C" {

#ifndef KEMRA_LIBC_HAS_STRLCPY
size_t strlcpy(char* d, const char* s, size_t bufsize)
{
    const size_t len = std::strlen(s);
    if (bufsize == 0)
        return len;
    const size_t n = len < bufsize - 1 ? len : bufsize - 1;
    std::memcpy(d, s, n);
    d[n] = '\0';
    return len;
}
#endif

#ifndef KEMRA_LIBC_HAS_STRLCAT
size_t strlcat(char* d, const char* s, size_t bufsize)
{
    // Like the BSD original, d is not read beyond bufsize bytes: an
    // unterminated d counts as bufsize long and nothing is appended.
    const size_t len1 = strnlen(d, bufsize);
    const size_t len2 = std::strlen(s);
    if (bufsize == 0 || len1 >= bufsize - 1)
        return len1 + len2;
    const size_t room = bufsize - len1 - 1;
    const size_t n = len2 < room ? len2 : room;
    std::memcpy(d + len1, s, n);
    d[len1 + n] = '\0';
    return len1 + len2;
}
#endif

}  // extern "C"
