// Kept apart from the rest: <asm/termbits.h> clashes with <termios.h>.
#include "tools/loomway-sim/customspeed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace loomway::sim {

bool SetCustomSpeed(int fd, long speed) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_cflag &= ~(CBAUD << IBSHIFT);
    tio.c_cflag |= BOTHER << IBSHIFT;
    tio.c_ispeed = static_cast<speed_t>(speed);
    tio.c_ospeed = static_cast<speed_t>(speed);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace loomway::sim
