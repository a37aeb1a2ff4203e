#include "platform/file_read.h"

namespace tideloom {

FileRead ReadWholeFile(std::string_view path, uint64_t limit) {
  OpenedFile file = OpenFileForReading(path, limit);
  if (file.failure != FileReadFailure::kNone) return {{}, file.failure};
  FileRead read;
  read.bytes.resize(static_cast<std::size_t>(file.size));
  if (!file.read(0, read.bytes)) return {{}, FileReadFailure::kReadFailed};
  return read;
}

} // namespace tideloom
