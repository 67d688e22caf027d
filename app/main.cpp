#include "AppVersion.h"

#include <cstdio>

int main() {
    std::printf("%s %s\n", kAppName, kAppVersion);
    return 0;
}
