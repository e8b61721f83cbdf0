#include "sim/pty_terminal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <termios.h>

namespace velto::sim::pty {

namespace {
constexpr int kFallbackBaud = 9600;

int baudOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    case B460800:
        return 460800;
    case B921600:
        return 921600;
    default:
        return kFallbackBaud;
    }
}

int bitsPerCharacter(const termios& tio)
{
    int data = 8;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        data = 5;
        break;
    case CS6:
        data = 6;
        break;
    case CS7:
        data = 7;
        break;
    default:
        break;
    }
    return 1 + data + ((tio.c_cflag & PARENB) ? 1 : 0) + ((tio.c_cflag & CSTOPB) ? 2 : 1);
}
} // namespace

void makeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

int charactersPerSecond(int slaveFd)
{
    termios tio {};
    // The pseudo-terminal keeps the speed the program's port asked for, though it does not need it.
    if (slaveFd < 0 || tcgetattr(slaveFd, &tio) != 0)
        return kFallbackBaud / 10;
    return std::max(baudOf(cfgetospeed(&tio)) / bitsPerCharacter(tio), 1);
}

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace velto::sim::pty
