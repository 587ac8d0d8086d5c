// libdmcrypto.so as the suite ships it for tests and the demo: a stand-in
// for the TitanTV decoder with the same export. Its own file format:
//
//   "QVTVPI1\n"                 8 bytes, marks an encrypted file
//   FNV-1a 32 of the plain text 4 bytes, little-endian
//   plain text XOR key stream   the rest
//
// The key stream comes from the key text (at most keyLength bytes, up to
// its NUL) and the numeric id. A file without the mark is already plain
// and stays as it is; one whose check sum does not match the key stays
// too, so a wrong key never turns a file into garbage.
//
// write_tvpi_encrypted is the reverse, for making test files.
//
// The file is rewritten through a temporary file beside it and a rename,
// so a failure leaves the original untouched. No suite library is linked:
// the handler loads this like any outside library.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr char kMagic[] = "QVTVPI1\n";
constexpr std::size_t kMagicLength = sizeof(kMagic) - 1;
constexpr std::size_t kHeaderLength = kMagicLength + 4;
constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

// Results, as the export returns them.
constexpr int kDecrypted = 0;
constexpr int kAlreadyPlain = 1;
constexpr int kBadArguments = -1;
constexpr int kCannotRead = -2;
constexpr int kWrongKey = -3;
constexpr int kCannotWrite = -4;

std::uint32_t Fnv1a(const unsigned char* data, std::size_t length, std::uint32_t hash = 2166136261u) {
  for (std::size_t i = 0; i < length; ++i) {
    hash ^= data[i];
    hash *= 16777619u;
  }
  return hash;
}

class KeyStream {
 public:
  KeyStream(const char* key, std::size_t keyLength, std::int32_t id) {
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(id);
    for (std::size_t i = 0; i < keyLength; ++i) {
      state ^= static_cast<unsigned char>(key[i]);
      state *= 0x100000001B3ull;
    }
    state_ = state != 0 ? state : 1;
  }
  unsigned char Next() {
    // xorshift64*
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<unsigned char>((state_ * 0x2545F4914F6CDD1Dull) >> 56);
  }

 private:
  std::uint64_t state_;
};

bool ReadFile(const char* path, std::string& content, mode_t& mode) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<std::uint64_t>(info.st_size) <= kMaxFileBytes;
  mode = info.st_mode & 07777;
  char buffer[65536];
  while (ok) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
    if (content.size() > kMaxFileBytes) ok = false;
  }
  ::close(fd);
  return ok;
}

bool ReplaceFile(const char* path, const std::string& content, mode_t mode) {
  std::string temporary = std::string(path) + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  std::size_t done = 0;
  while (ok && done < content.size()) {
    const ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) ok = false;
    else done += static_cast<std::size_t>(wrote);
  }
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temporary.c_str(), path) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool Encrypted(const std::string& content) {
  return content.size() >= kHeaderLength && content.compare(0, kMagicLength, kMagic) == 0;
}

std::uint32_t StoredSum(const std::string& content) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    sum |= static_cast<std::uint32_t>(static_cast<unsigned char>(content[kMagicLength + i])) << (8 * i);
  }
  return sum;
}

void Crypt(std::string& data, std::size_t from, const char* key, std::size_t keyLength, std::int32_t id) {
  KeyStream stream(key, keyLength, id);
  for (std::size_t i = from; i < data.size(); ++i) {
    data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) ^ stream.Next());
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int read_tvpi_encrypted(const char* path, int id, const char* key,
                                                               int keyLength) {
  if (path == nullptr || key == nullptr || keyLength < 0) return kBadArguments;
  std::string content;
  mode_t mode = 0;
  if (!ReadFile(path, content, mode)) return kCannotRead;
  if (!Encrypted(content)) return kAlreadyPlain;
  const std::size_t length = ::strnlen(key, static_cast<std::size_t>(keyLength));
  std::string plain = content.substr(kHeaderLength);
  Crypt(plain, 0, key, length, id);
  const auto* bytes = reinterpret_cast<const unsigned char*>(plain.data());
  if (Fnv1a(bytes, plain.size()) != StoredSum(content)) return kWrongKey;
  return ReplaceFile(path, plain, mode) ? kDecrypted : kCannotWrite;
}

__attribute__((visibility("default"))) int write_tvpi_encrypted(const char* path, int id, const char* key,
                                                                int keyLength) {
  if (path == nullptr || key == nullptr || keyLength < 0) return kBadArguments;
  std::string plain;
  mode_t mode = 0;
  if (!ReadFile(path, plain, mode)) return kCannotRead;
  const std::size_t length = ::strnlen(key, static_cast<std::size_t>(keyLength));
  const std::uint32_t sum = Fnv1a(reinterpret_cast<const unsigned char*>(plain.data()), plain.size());
  std::string content(kMagic, kMagicLength);
  for (std::size_t i = 0; i < 4; ++i) content.push_back(static_cast<char>((sum >> (8 * i)) & 0xFF));
  const std::size_t from = content.size();
  content += plain;
  Crypt(content, from, key, length, id);
  return ReplaceFile(path, content, mode) ? kDecrypted : kCannotWrite;
}

}  // extern "C"
