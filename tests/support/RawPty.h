#pragma once

#include <QString>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>

// Opens a pseudo-terminal in raw mode, its master side non-blocking: the
// slave's name stands for a serial port. False when none is free.
inline bool OpenRawPty(int *master, int *slave, QString *slaveName)
{
    char name[256] = {};
    if (openpty(master, slave, name, nullptr, nullptr) != 0) {
        *master = *slave = -1;
        return false;
    }
    termios raw{};
    tcgetattr(*slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(*slave, TCSANOW, &raw);
    fcntl(*master, F_SETFL, fcntl(*master, F_GETFL) | O_NONBLOCK);
    *slaveName = QString::fromLocal8Bit(name);
    return true;
}
