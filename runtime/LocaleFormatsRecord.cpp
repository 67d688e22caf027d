#include "LocaleFormats.h"

LocaleFormats& Formats() {
    static LocaleFormats record;
    return record;
}
