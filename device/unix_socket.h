#pragma once
// Unix-domain SOCK_SEQPACKET sockets at a path: the device object and the simulator's control
// socket (POSIX only).

#include <sys/un.h>

#include <string>

namespace device {

// Fills `address` for `path`; false when the path is empty or does not fit.
bool MakeUnixAddress(const std::string& path, sockaddr_un& address);

// Connects to the socket at `path`, but only when its folder is the user's own (see
// own_folder.h), and through the folder that was checked. -1 with errno set; a refused folder
// sets errno to EPERM and, when asked, `refusal`.
int ConnectInOwnFolder(const std::string& path, std::string* refusal = nullptr);

}  // namespace device
