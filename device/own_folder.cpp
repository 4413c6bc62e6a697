#include "device/own_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace device {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

#ifdef _WIN32

int OpenOwnFolder(const std::string&, const FolderRole&, bool, std::string&) {
  return 0;
}

std::string PathThrough(int, const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

#else

namespace {

std::string OwnerName(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
  }
  return "uid " + std::to_string(uid);
}

std::string Refusal(const std::string& folder, const FolderRole& role, const char* problem,
                    const struct stat& st) {
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return std::string("the ") + role.what + " " + folder + " " + problem + " (owner " +
         OwnerName(st.st_uid) + ", mode " + mode + "); remove it, or " + role.fix;
}

// Empty when `st` describes a folder of ours that only we can write.
std::string Judge(const std::string& folder, const FolderRole& role, const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return Refusal(folder, role, "is a symbolic link", st);
  if (!S_ISDIR(st.st_mode)) return Refusal(folder, role, "is not a folder", st);
  if (st.st_uid != geteuid()) return Refusal(folder, role, "belongs to another user", st);
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Refusal(folder, role, "can be written by other users", st);
  }
  return {};
}

}  // namespace

int OpenOwnFolder(const std::string& folder, const FolderRole& role, bool create,
                  std::string& refusal) {
  if (create && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    refusal =
        std::string("cannot create the ") + role.what + " " + folder + ": " + std::strerror(errno);
    return -1;
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    // A link or a file in the folder's place: say what is there and whose it is.
    if ((error == ELOOP || error == ENOTDIR) && lstat(folder.c_str(), &st) == 0) {
      refusal = Judge(folder, role, st);
    }
    if (refusal.empty()) {
      refusal =
          std::string("cannot open the ") + role.what + " " + folder + ": " + std::strerror(error);
      errno = error;  // a missing folder is no device, not a refusal
    } else {
      errno = EPERM;
    }
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    refusal =
        std::string("cannot look at the ") + role.what + " " + folder + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  refusal = Judge(folder, role, st);
  if (!refusal.empty()) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string PathThrough(int folderFd, const std::string& folder, const std::string& name) {
  const std::string proc = "/proc/self/fd/" + std::to_string(folderFd);
  if (access(proc.c_str(), X_OK) == 0) return proc + "/" + name;
  return folder + "/" + name;
}

#endif

}  // namespace device
