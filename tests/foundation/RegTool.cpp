// regtool get SUBKEY NAME      prints the value, exits 1 when it cannot be read
// regtool set SUBKEY NAME N    stores N, exits 1 on failure
#include <zep3/zep3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "get") == 0) {
        unsigned long value = 0;
        if (!ReadRegKey(HKEY_CURRENT_USER, argv[2], argv[3], value)) return 1;
        std::printf("%lu\n", value);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "set") == 0)
        return WriteRegKey(HKEY_CURRENT_USER, argv[2], argv[3], std::strtoul(argv[4], nullptr, 10)) ? 0 : 1;
    return 2;
}
