// Writes one file through LaunchLocalStorage over and over, alternating two contents,
// and reports each completed write with one byte on standard output. The
// fault-injection test kills it with SIGKILL wherever it happens to be.
//
//   quillon_storage_writer <data directory> <file name>

#include <unistd.h>

#include <cstdio>

#include "core/storage/files/launch_local_storage.h"
#include "storage_writer_contents.h"

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <data directory> <file name>\n", argv[0]);
    return 2;
  }
  const LaunchLocalStorage storage(Url::fileUrl(argv[1], true));
  for (unsigned long count = 0;; ++count) {
    try {
      storage.write(count % 2 == 0 ? storageWriterFirstContent() : storageWriterSecondContent(), argv[2], {});
    } catch (const Error& error) {
      std::fprintf(stderr, "write failed: %d\n", error.errnoValue());
      return 1;
    }
    const char done = '.';
    if (::write(STDOUT_FILENO, &done, 1) != 1) return 0;  // the test is gone
  }
}
