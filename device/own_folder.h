#pragma once
// A folder that holds the device object, the simulator's state or the update lock decides who
// the tools talk to and what they keep, so it must be the user's own: a real folder (not a
// link), owned by the user, that group and others cannot write. Anyone else could otherwise
// put a socket of their own there and pose as the device.
//
// Windows: the folders live in the user's profile and the device in the driver's namespace;
// every check passes.

#include <string>

namespace device {

// What a refusal names and how it tells the user to fix it.
struct FolderRole {
  const char* what;  // "device folder", "state folder"
  const char* fix;   // "set VELMOR_DEVICE_DIR to another folder"
};

inline constexpr FolderRole kDeviceFolderRole{"device folder",
                                              "set VELMOR_DEVICE_DIR to a folder of your own"};

// Opens `folder` without following a link and checks the opened folder itself, so a swap
// after the check cannot pass a foreign folder off as ours. Returns the open descriptor
// (close it), or -1 with `refusal`: one line for people naming the folder, its owner and its
// mode, and the fix; errno is ENOENT when the folder does not exist. `create` makes a missing
// folder with mode 0700 first (not its parents).
int OpenOwnFolder(const std::string& folder, const FolderRole& role, bool create,
                  std::string& refusal);

// A path inside the folder open at `folderFd` that reaches the very folder checked
// (/proc/self/fd/N/name where the system has it), else `folder`/`name`.
std::string PathThrough(int folderFd, const std::string& folder, const std::string& name);

// The folder part of `path` ("." when it has none).
std::string FolderOf(const std::string& path);

}  // namespace device
