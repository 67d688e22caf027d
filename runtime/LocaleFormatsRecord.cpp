#include "LocaleFormats.h"

#if defined(__clang__)
LocaleFormats& Formats() {
    static LocaleFormats record;
    return record;
}
#else
constinit LocaleFormats ProcessFormats;
#endif
