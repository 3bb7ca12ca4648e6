#include "png/numbered.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/tasks.h"
#include "png/encoder.h"

namespace basin {
namespace {

// The tasks of a small picture's encoding, run on the caller: the window's
// picture is written between frames, on the thread that draws them.
class OnThisThread final : public TaskRunner {
 public:
  void forEach(int count, FunctionRef<void(int, int)> task) override {
    for (int i = 0; i < count; ++i) task(i, 0);
  }
  int threads() const override { return 1; }
  void windDown() override {}
};

// Opens the next free name for writing, created by this call alone.
int openNumbered(const std::string& folder, std::string* path, std::string* error) {
  for (int n = 1; n < 1000000; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "basinscope-%04d.png", n);
    const std::string candidate = folder + "/" + name;
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      *path = candidate;
      return fd;
    }
    if (errno != EEXIST) {
      *error = "'" + candidate + "': " + std::strerror(errno);
      return -1;
    }
  }
  *error = "'" + folder + "': every basinscope-NNNN.png name is taken";
  return -1;
}

}  // namespace

std::string claimNumbered(const std::string& folder, std::string* path) {
  std::string error;
  const int fd = openNumbered(folder, path, &error);
  if (fd >= 0) close(fd);
  return error;
}

std::string saveNumbered(const ImageRows& image, const std::string& folder, std::string* path) {
  std::string error;
  const int fd = openNumbered(folder, path, &error);
  if (fd < 0) return error;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    close(fd);
  } else {
    OnThisThread tasks;
    error = pngEncoder(false)->write(image, file, tasks);
    if (error.empty() && (std::fflush(file) != 0 || fsync(fileno(file)) != 0))
      error = std::strerror(errno);
    if (std::fclose(file) != 0 && error.empty()) error = std::strerror(errno);
  }
  if (error.empty()) return "";
  unlink(path->c_str());
  return "'" + *path + "': " + error;
}

}  // namespace basin
