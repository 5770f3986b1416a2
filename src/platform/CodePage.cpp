#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace tarnwick {
namespace {

// One iconv conversion descriptor per direction and thread, opened on first
// use: iconv_t is not thread-safe, and opening one costs more than the short
// conversion it serves (the console converts three fields per status line).
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) iconv_close(handle_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

enum class Direction { ToUtf8, ToCp932 };

// The thread's descriptor for `direction`, in its initial state; none when
// the system cannot convert.
const IconvHandle& DescriptorFor(Direction direction) {
  thread_local const IconvHandle toUtf8("UTF-8", "CP932");
  thread_local const IconvHandle toCp932("CP932", "UTF-8");
  const IconvHandle& handle = direction == Direction::ToUtf8 ? toUtf8 : toCp932;
  // A conversion cut short by an invalid byte may have left a shift state.
  if (handle.valid()) iconv(handle.get(), nullptr, nullptr, nullptr, nullptr);
  return handle;
}

// Both code pages hold ASCII as ASCII, and most texts (addresses, host
// names) are nothing else: those need no converter at all.
bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Convert(std::string_view input, Direction direction) {
  if (IsAscii(input)) return std::string(input);
  const IconvHandle& cd = DescriptorFor(direction);
  std::string out;
  if (!cd.valid()) return out;
  out.reserve(input.size() * 3 / 2 + 4);

  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    const std::size_t rc = iconv(cd.get(), &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ: an invalid byte; EINVAL: a character cut off at the end.
    out.push_back('?');
    if (errno == EINVAL) break;
    ++in;
    --inLeft;
  }
  return out;
}

}  // namespace

std::string Utf8FromCp932(std::string_view cp932) {
  return Convert(cp932, Direction::ToUtf8);
}

std::string Cp932FromUtf8(std::string_view utf8) {
  return Convert(utf8, Direction::ToCp932);
}

std::string_view CutCp932(std::string_view text, std::size_t maxBytes) {
  // Most fields are ASCII: no byte below 0x80 leads a character, so such a
  // prefix is cut anywhere without walking it character by character.
  if (const std::string_view prefix = text.substr(0, maxBytes); IsAscii(prefix)) return prefix;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > maxBytes || end + width > text.size()) break;
    end += width;
  }
  return text.substr(0, end);
}

}  // namespace tarnwick
