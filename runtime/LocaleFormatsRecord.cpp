#include "LocaleFormats.h"

constinit LocaleFormats ProcessFormats;
