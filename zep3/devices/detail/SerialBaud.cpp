// Rates without a Bxxx constant go through termios2, whose kernel header
// cannot share a translation unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace zep3::detail {

bool SetCustomBaudRate(int fd, unsigned int rate) {
    struct termios2 tio;
    if (rate == 0 || ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace zep3::detail
