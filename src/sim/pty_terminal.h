#pragma once

#include <QString>

namespace velto::sim {

// What the simulated lines share about the pseudo-terminals they are the far side of.
namespace pty {
// Raw mode: no echo, no line editing, no character translation.
void makeRaw(int fd);
// Characters per second of the port as the program set it up on the slave side (8N1 at 9600: 960).
int charactersPerSecond(int slaveFd);
// "what: the system's reason", from errno.
QString systemError(const char* what);
} // namespace pty

} // namespace velto::sim
