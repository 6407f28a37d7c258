// quorlix_run_floor NOISEFILE FOLDER INPUTFILES MIDFILES SECONDS
//
// The least a run of the tool with these numbers has to do with files,
// timed by scripts/bench as the floor the tool's own time is compared with:
// it reads the same PCM bytes from NOISEFILE one capture at a time into one
// buffer, and writes the same number of files of the same size into FOLDER
// (a raw file per capture, a mid file per group and the output file, which
// it flushes to disk as the tool does), then deletes all but the output. It
// keeps no bits, folds nothing and reads nothing back.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kCaptureBytesPerSecond = 176400;
constexpr std::uint64_t kOutputBytesPerSecond = 11025;

bool ReadCount(const char* text, std::uint64_t& value) {
  if (*text < '1' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0';
}

bool WriteFile(const std::string& name, const std::vector<unsigned char>& bytes, bool durable) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (durable) written = written && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  return std::fclose(file) == 0 && written;
}

int Fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "quorlix_run_floor: cannot %s %s\n", what, name.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t inputFiles = 0;
  std::uint64_t midFiles = 0;
  std::uint64_t seconds = 0;
  if (argc != 6 || !ReadCount(argv[3], inputFiles) || !ReadCount(argv[4], midFiles) ||
      !ReadCount(argv[5], seconds)) {
    std::fputs("Usage: quorlix_run_floor NOISEFILE FOLDER INPUTFILES MIDFILES SECONDS\n", stderr);
    return 1;
  }
  const std::string noiseName = argv[1];
  const std::string folder = argv[2];
  std::vector<unsigned char> capture(seconds * kCaptureBytesPerSecond);
  const std::vector<unsigned char> block(seconds * kOutputBytesPerSecond);

  std::FILE* noise = std::fopen(noiseName.c_str(), "rb");
  if (noise == nullptr) return Fail("open", noiseName);
  std::vector<std::string> temporary;
  for (std::uint64_t c = 0; c < inputFiles * midFiles; ++c) {
    if (std::fread(capture.data(), 1, capture.size(), noise) != capture.size()) {
      std::fclose(noise);
      return Fail("read a whole capture from", noiseName);
    }
    temporary.push_back(folder + "/cap" + std::to_string(c));
    if (!WriteFile(temporary.back(), block, false)) return Fail("write", temporary.back());
  }
  std::fclose(noise);
  for (std::uint64_t m = 0; m < midFiles; ++m) {
    temporary.push_back(folder + "/mid" + std::to_string(m));
    if (!WriteFile(temporary.back(), block, false)) return Fail("write", temporary.back());
  }
  const std::string output = folder + "/dat";
  if (!WriteFile(output, block, true)) return Fail("write", output);
  for (const std::string& name : temporary) {
    if (std::remove(name.c_str()) != 0) return Fail("delete", name);
  }
  return 0;
}
