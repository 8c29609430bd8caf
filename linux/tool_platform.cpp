// The tools' platform services on POSIX calls: dlopen, the command line's
// bytes as they are, and the file tree pixdim-compare walks.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "linux/owners.h"
#include "tools/tool_platform.h"

void* OpenModule(const std::string& path, std::string& error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = dlerror();
    error = "cannot load " + path + " (" + (reason != nullptr ? reason : "unknown error") + ")";
  }
  return module;
}

AnyFunction FindFunction(void* module, const char* name) {
  return reinterpret_cast<AnyFunction>(dlsym(module, name));
}

void CloseModule(void* module) { dlclose(module); }

// On Linux the command line and file names are bytes, and stay unchanged.
std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::string Utf8ToHostAnsi(const std::string& utf8) { return utf8; }

namespace {

void Walk(const std::string& root, const std::string& relative, FileTree& tree) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  const UniqueFolder folder(opendir(path.c_str()));
  if (!folder) {
    tree.unreadable.push_back({relative, std::strerror(errno)});
    return;
  }
  while (const dirent* entry = readdir(folder.Get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string child = relative.empty() ? name : relative + "/" + name;
    struct stat status {};
    if (lstat((root + "/" + child).c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
      Walk(root, child, tree);
    } else {
      tree.files.push_back(child);
    }
  }
}

}  // namespace

bool IsFolder(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

FileTree ListFiles(const std::string& root) {
  FileTree tree;
  Walk(root, "", tree);
  std::sort(tree.files.begin(), tree.files.end());
  return tree;
}

std::string OpenFailure(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
  if (!S_ISREG(status.st_mode)) return S_ISDIR(status.st_mode) ? "a folder, not a file" : "not a regular file";
  // Opened as the plugin opens it, so a FIFO swapped in meanwhile cannot block.
  const UniqueFd file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  return file ? "" : std::strerror(errno);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }
