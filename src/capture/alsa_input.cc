#include "capture/alsa_input.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <set>

namespace quorlix {
namespace {

std::string LinkTarget(const std::string& path) {
  char target[512];
  const ssize_t length = readlink(path.c_str(), target, sizeof target);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

// The address a connected socket's server bound; empty for an unnamed one.
std::string ServerAddress(int fd) {
  struct sockaddr_storage address = {};
  socklen_t size = sizeof address;
  if (getpeername(fd, reinterpret_cast<struct sockaddr*>(&address), &size) != 0) return {};
  if (address.ss_family == AF_UNIX) {
    const auto& local = reinterpret_cast<const struct sockaddr_un&>(address);
    const std::size_t length = size - offsetof(struct sockaddr_un, sun_path);
    if (length == 0) return {};
    // An abstract name starts with a NUL and runs to the end; a path ends at
    // its first NUL.
    std::string name;
    if (local.sun_path[0] == '\0') {
      name.append(1, '@').append(local.sun_path + 1, length - 1);
    } else {
      name.append(local.sun_path, strnlen(local.sun_path, length));
    }
    return name;
  }
  char text[INET6_ADDRSTRLEN] = {};
  std::string name;
  if (address.ss_family == AF_INET) {
    const auto& inet = reinterpret_cast<const struct sockaddr_in&>(address);
    inet_ntop(AF_INET, &inet.sin_addr, text, sizeof text);
    name.append(text).append(1, ':').append(std::to_string(ntohs(inet.sin_port)));
  } else if (address.ss_family == AF_INET6) {
    const auto& inet6 = reinterpret_cast<const struct sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &inet6.sin6_addr, text, sizeof text);
    name.append(1, '[').append(text).append("]:").append(std::to_string(ntohs(inet6.sin6_port)));
  }
  return name;
}

// A file on disk that the open left open for reading only: what a plugin
// reads samples from. Shared memory (a memfd, a deleted or writable file)
// is each process's own.
std::string SampleFile(int fd, const std::string& target) {
  struct stat info;
  if (target.empty() || target[0] != '/' || target.starts_with("/memfd:") ||
      target.ends_with(" (deleted)") || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    return {};
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) != O_RDONLY) return {};
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

}  // namespace

OpenDescriptors ListOpenDescriptors() {
  OpenDescriptors descriptors;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return descriptors;
  const int own = dirfd(folder);
  while (const struct dirent* entry = readdir(folder)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd == own) continue;
    descriptors[fd] = LinkTarget(std::string("/proc/self/fd/") + entry->d_name);
  }
  closedir(folder);
  return descriptors;
}

std::string AlsaInput(snd_pcm_t* pcm, const OpenDescriptors& before) {
  std::set<std::string> parts;
  // A whole device, not one of its subdevices: those may well record the
  // same converter.
  snd_pcm_info_t* info = nullptr;
  snd_pcm_info_alloca(&info);
  if (snd_pcm_info(pcm, info) >= 0 && snd_pcm_info_get_card(info) >= 0) {
    parts.insert("card " + std::to_string(snd_pcm_info_get_card(info)) + " device " +
                 std::to_string(snd_pcm_info_get_device(info)));
  }
  for (const auto& [fd, target] : ListOpenDescriptors()) {
    const auto old = before.find(fd);
    if (old != before.end() && old->second == target) continue;
    if (target.starts_with("socket:")) {
      const std::string server = ServerAddress(fd);
      if (!server.empty()) parts.insert("server " + server);
    } else {
      const std::string file = SampleFile(fd, target);
      if (!file.empty()) parts.insert("file " + file);
    }
  }
  std::string input;
  for (const std::string& part : parts) input += (input.empty() ? "" : "\n") + part;
  return input;
}

}  // namespace quorlix
