#pragma once
// Unix-domain SOCK_SEQPACKET sockets at a path: the device object, the simulator's control
// socket and the panel's raise socket (POSIX only).

#include <sys/un.h>

#include <string>

namespace device {

// Fills `address` for `path`; false when the path is empty or does not fit.
bool MakeUnixAddress(const std::string& path, sockaddr_un& address);

// Connects to the socket at `path`, but only when its folder is the user's own (see
// own_folder.h), and through the folder that was checked. -1 with errno set; a refused folder
// sets errno to EPERM and, when asked, `refusal`.
int ConnectInOwnFolder(const std::string& path, std::string* refusal = nullptr);

// A non-blocking listening socket bound at `path`, or -1 with a message in `error`.
// A socket file left by a server that died is replaced; one that still answers is `owner`'s
// ("another simulator is serving <path>"), and anything that is not a socket is never removed.
int ListenAt(const std::string& path, const char* owner, std::string& error);

}  // namespace device
