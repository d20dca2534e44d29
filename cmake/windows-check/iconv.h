/* Only for the Windows compile check: Debian's libxml2 headers (found after MinGW-w64's own) are
   configured with iconv and include <iconv.h>, which MinGW-w64 does not have, and glibc's copy does
   not compile there. The check needs no more than the type the libxml2 headers name. A real
   Windows build takes libxml2 and its own headers from vcpkg and never sees this file. */
#ifndef TIVRA_WINDOWS_CHECK_ICONV_H
#define TIVRA_WINDOWS_CHECK_ICONV_H
typedef void *iconv_t;
#endif
