#include <zep3/zep3.h>

#include <cstdio>

int main() {
    std::printf("zep3 demo\n");
    return 0;
}
