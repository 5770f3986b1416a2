#include "platform/RegistryDocument.h"

#include <cstddef>
#include <cstdio>
#include <optional>

#include "platform/CodePage.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kLineEnd = "\r\n";
// Hex data is wrapped as regedit does, so lines stay readable in an editor.
constexpr std::size_t kWrapColumn = 76;

unsigned char Byte(char c) {
  return static_cast<unsigned char>(c);
}

bool IsTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// A single byte that is a whole character of its own and may stand inside a
// quoted text: printable ASCII, tab, or half-width katakana.
bool IsQuotableSingle(unsigned char c) {
  if (c == '\t') return true;
  if (c >= 0x20 && c < 0x7F) return true;
  return c >= 0xA1 && c <= 0xDF;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  return TrimRight(TrimLeft(s));
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters compare without case; the trail byte of a double-byte
// character is never folded, since it may look like an ASCII letter.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsCp932LeadByte(Byte(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

// The form in which SameName compares: equal folds, equal names.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (IsCp932LeadByte(Byte(folded[i])) && i + 1 < folded.size()) {
      ++i;
    } else {
      folded[i] = AsciiLower(folded[i]);
    }
  }
  return folded;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

bool IsBelow(std::string_view path, std::string_view ancestor) {
  return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
         SameName(path.substr(0, ancestor.size()), ancestor);
}

// Walks `text` one CP932 character at a time; false at the first byte that
// cannot stand in a quoted text (control bytes, undefined bytes, a lead byte
// without its trail byte).
template <typename OnCharacter>
bool ForEachQuotableCharacter(std::string_view text, OnCharacter onCharacter) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = Byte(text[i]);
    if (IsCp932LeadByte(c)) {
      if (i + 1 >= text.size() || !IsTrailByte(Byte(text[i + 1]))) return false;
      onCharacter(text.substr(i, 2));
      i += 2;
    } else {
      if (!IsQuotableSingle(c)) return false;
      onCharacter(text.substr(i, 1));
      ++i;
    }
  }
  return true;
}

bool IsQuotable(std::string_view text) {
  return ForEachQuotableCharacter(text, [](std::string_view) {});
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  ForEachQuotableCharacter(text, [&out](std::string_view character) {
    if (character == "\\" || character == "\"") out += '\\';
    out += character;
  });
  out += '"';
  return out;
}

// Reads a quoted text starting at s[pos] == '"', leaving pos after the
// closing quote. Only \\ and \" are escapes, as regedit writes them.
std::optional<std::string> ParseQuoted(std::string_view s, std::size_t& pos) {
  if (pos >= s.size() || s[pos] != '"') return std::nullopt;
  std::string out;
  ++pos;
  while (pos < s.size()) {
    const unsigned char c = Byte(s[pos]);
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\') {
      if (pos + 1 >= s.size() || (s[pos + 1] != '\\' && s[pos + 1] != '"')) return std::nullopt;
      out += s[pos + 1];
      pos += 2;
    } else if (IsCp932LeadByte(c)) {
      if (pos + 1 >= s.size() || !IsTrailByte(Byte(s[pos + 1]))) return std::nullopt;
      out.append(s.substr(pos, 2));
      pos += 2;
    } else {
      if (!IsQuotableSingle(c)) return std::nullopt;
      out += s[pos];
      ++pos;
    }
  }
  return std::nullopt;  // no closing quote
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

// "01,ab,ff" (blanks allowed around the bytes). An empty list is zero bytes;
// an empty item, as left by a value cut off after its comma, is an error.
std::optional<std::string> ParseHexBytes(std::string_view list) {
  std::string out;
  list = Trim(list);
  if (list.empty()) return out;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    if (item.size() > 2) return std::nullopt;
    const std::optional<std::uint32_t> byte = ParseHexNumber(item);
    if (!byte) return std::nullopt;
    out += static_cast<char>(*byte);
    if (comma == std::string_view::npos) return out;
    list.remove_prefix(comma + 1);
  }
}

std::optional<RegistryValue> ParseData(std::string_view data) {
  data = TrimRight(data);
  if (!data.empty() && data.front() == '"') {
    std::size_t pos = 0;
    std::optional<std::string> text = ParseQuoted(data, pos);
    if (!text || pos != data.size()) return std::nullopt;
    text->push_back('\0');
    return RegistryValue{kRegSz, std::move(*text)};
  }
  if (StartsWithNoCase(data, "dword:")) {
    const std::optional<std::uint32_t> number = ParseHexNumber(data.substr(6));
    if (!number) return std::nullopt;
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
      bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xFF);
    return RegistryValue{kRegDword, std::move(bytes)};
  }
  std::uint32_t kind = kRegBinary;
  if (StartsWithNoCase(data, "hex:")) {
    data.remove_prefix(4);
  } else if (StartsWithNoCase(data, "hex(")) {
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    const std::optional<std::uint32_t> number = ParseHexNumber(data.substr(4, close - 4));
    if (!number) return std::nullopt;
    kind = *number;
    data.remove_prefix(close + 2);
  } else {
    return std::nullopt;
  }
  std::optional<std::string> bytes = ParseHexBytes(data);
  if (!bytes) return std::nullopt;
  return RegistryValue{kind, std::move(*bytes)};
}

struct ValueStart {
  std::string name;
  std::size_t dataOffset = 0;
};

// The name ("@" is the default value) and where the data begins after '='.
std::optional<ValueStart> ParseValueStart(std::string_view line) {
  ValueStart start;
  std::size_t pos = 0;
  if (!line.empty() && line.front() == '@') {
    pos = 1;
  } else {
    std::optional<std::string> name = ParseQuoted(line, pos);
    if (!name) return std::nullopt;
    start.name = std::move(*name);
  }
  while (pos < line.size() && IsBlank(line[pos]))
    ++pos;
  if (pos >= line.size() || line[pos] != '=') return std::nullopt;
  ++pos;
  while (pos < line.size() && IsBlank(line[pos]))
    ++pos;
  start.dataOffset = pos;
  return start;
}

bool IsValidKeyPath(std::string_view path) {
  // "[-...]" deletes a key when regedit imports the file: nothing to read.
  return !path.empty() && path.front() != '-' && IsQuotable(path);
}

std::optional<std::string> ParseHeader(std::string_view trimmed) {
  if (trimmed.size() < 3 || trimmed.front() != '[' || trimmed.back() != ']') return std::nullopt;
  const std::string_view path = trimmed.substr(1, trimmed.size() - 2);
  if (!IsValidKeyPath(path)) return std::nullopt;
  return std::string(path);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool EndsWithContinuation(std::string_view line) {
  line = TrimRight(line);
  return !line.empty() && line.back() == '\\';
}

void AppendHexData(std::string& out, std::string_view data, std::size_t column) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (column >= kWrapColumn) {
      out += "\\";
      out += kLineEnd;
      out += "  ";
      column = 2;
    }
    out += kDigits[Byte(data[i]) >> 4];
    out += kDigits[Byte(data[i]) & 0xF];
    column += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++column;
    }
  }
}

bool IsPlainText(const RegistryValue& value) {
  const std::string_view data = value.data;
  return value.kind == kRegSz && !data.empty() && data.back() == '\0' &&
         IsQuotable(data.substr(0, data.size() - 1));
}

std::string FormatValue(const std::string& name, const RegistryValue& value) {
  std::string line = name.empty() ? "@" : Quote(name);
  line += '=';
  if (IsPlainText(value)) {
    line += Quote(std::string_view(value.data).substr(0, value.data.size() - 1));
  } else if (value.kind == kRegDword && value.data.size() == 4) {
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i)
      number |= std::uint32_t{Byte(value.data[i])} << (8 * i);
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x", number);
    line += digits;
  } else {
    if (value.kind == kRegBinary) {
      line += "hex:";
    } else {
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", value.kind);
      line += prefix;
    }
    AppendHexData(line, value.data, line.size());
  }
  line += kLineEnd;
  return line;
}

}  // namespace

bool RegistryNameIsWritable(std::string_view name) {
  return IsQuotable(name);
}

bool RegistryKeyPathIsWritable(std::string_view path) {
  return IsValidKeyPath(path);
}

RegistryDocument RegistryDocument::Parse(std::string_view text) {
  RegistryDocument document;
  document.sections_.emplace_back();  // the lines before any key
  std::size_t current = 0;

  const std::vector<std::string_view> lines = SplitLines(text);
  std::size_t i = 0;
  if (!lines.empty() && TrimRight(lines[0]) == kHeader) i = 1;
  while (i < lines.size()) {
    const std::string_view trimmed = Trim(lines[i]);
    if (trimmed.empty()) {
      ++i;
      continue;
    }
    if (trimmed.front() == '[') {
      if (std::optional<std::string> path = ParseHeader(trimmed)) {
        if (Section* existing = document.FindSection(*path)) {
          current = static_cast<std::size_t>(existing - document.sections_.data());
        } else {
          document.AppendSection(Section{true, std::move(*path), {}, {}, {}});
          current = document.sections_.size() - 1;
        }
      } else {
        document.AppendSection(Section{false, {}, std::string(lines[i]), {}, {}});
        current = document.sections_.size() - 1;
      }
      ++i;
      continue;
    }

    // A value, whose hex data may go on over indented lines ending in '\'.
    const std::size_t first = i;
    std::string logical(TrimLeft(lines[i]));
    const std::optional<ValueStart> start = ParseValueStart(logical);
    const bool isHex =
        start && StartsWithNoCase(std::string_view(logical).substr(start->dataOffset), "hex");
    while (isHex && EndsWithContinuation(logical) && i + 1 < lines.size() &&
           !lines[i + 1].empty() && IsBlank(lines[i + 1].front())) {
      // Trimmed in place: copying would make long values quadratic.
      while (IsBlank(logical.back()))
        logical.pop_back();
      logical.pop_back();  // the '\\'
      logical += TrimLeft(lines[++i]);
    }
    ++i;

    Item item;
    Section& section = document.sections_[current];
    if (section.readable && start) {
      if (std::optional<RegistryValue> value =
              ParseData(std::string_view(logical).substr(start->dataOffset))) {
        item.readable = true;
        item.name = start->name;
        item.value = std::move(*value);
      }
    }
    if (!item.readable) {
      for (std::size_t line = first; line < i; ++line)
        item.rawLines.emplace_back(lines[line]);
    }
    document.AddItem(section, std::move(item));
  }
  return document;
}

std::string RegistryDocument::Serialize() const {
  std::string out(kHeader);
  out += kLineEnd;
  out += kLineEnd;
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const Section& section = sections_[s];
    if (s == 0 && section.items.empty()) continue;
    if (s > 0) {
      out += section.readable ? "[" + section.path + "]" : section.rawHeader;
      out += kLineEnd;
    }
    for (const Item& item : section.items) {
      if (item.readable) {
        out += FormatValue(item.name, item.value);
        continue;
      }
      for (const std::string& line : item.rawLines) {
        out += line;
        out += kLineEnd;
      }
      // A kept line that asks for a continuation must not join whatever is
      // written after it; a blank line ends it, as it did where it was read.
      if (!item.rawLines.empty() && EndsWithContinuation(item.rawLines.back())) out += kLineEnd;
    }
    out += kLineEnd;
  }
  return out;
}

RegistryDocument::Section* RegistryDocument::FindSection(std::string_view path) {
  const auto found = sectionIndex_.find(Folded(path));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const RegistryDocument::Section* RegistryDocument::FindSection(std::string_view path) const {
  const auto found = sectionIndex_.find(Folded(path));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

RegistryDocument::Section& RegistryDocument::AppendSection(Section section) {
  if (section.readable) sectionIndex_.emplace(Folded(section.path), sections_.size());
  sections_.push_back(std::move(section));
  return sections_.back();
}

bool RegistryDocument::HasKey(std::string_view path) const {
  if (FindSection(path) != nullptr) return true;
  for (const Section& section : sections_) {
    if (section.readable && (SameName(section.path, path) || IsBelow(section.path, path))) {
      return true;
    }
  }
  return false;
}

bool RegistryDocument::AddKey(std::string_view path) {
  if (FindSection(path) != nullptr) return false;
  if (sections_.empty()) sections_.emplace_back();
  AppendSection(Section{true, std::string(path), {}, {}, {}});
  return true;
}

const RegistryValue* RegistryDocument::FindValue(std::string_view keyPath,
                                                 std::string_view name) const {
  const Section* section = FindSection(keyPath);
  if (section == nullptr) return nullptr;
  const auto found = section->itemIndex.find(Folded(name));
  return found == section->itemIndex.end() ? nullptr : &section->items[found->second].value;
}

bool RegistryDocument::SetValue(std::string_view keyPath, std::string_view name,
                                RegistryValue value) {
  const RegistryValue* existing = FindValue(keyPath, name);
  if (existing != nullptr && *existing == value) return false;
  AddKey(keyPath);
  Item item;
  item.readable = true;
  item.name = std::string(name);
  item.value = std::move(value);
  AddItem(*FindSection(keyPath), std::move(item));
  return true;
}

void RegistryDocument::AddItem(Section& section, Item item) {
  if (item.readable) {
    // A later line of the same name wins, as it would on import.
    const auto [found, added] = section.itemIndex.emplace(Folded(item.name), section.items.size());
    if (!added) {
      section.items[found->second].value = std::move(item.value);
      return;
    }
  }
  section.items.push_back(std::move(item));
}

std::vector<RegistryEntry> RegistryDocument::Entries() const {
  std::vector<RegistryEntry> entries;
  for (const Section& section : sections_) {
    if (!section.readable) continue;
    for (const Item& item : section.items) {
      if (item.readable) entries.push_back({section.path, item.name, item.value});
    }
  }
  return entries;
}

}  // namespace tarnwick
