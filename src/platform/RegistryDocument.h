#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick {

// Value kinds, with their Windows numbers.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// One registry value: its kind and its bytes exactly as stored (a REG_SZ
// includes its terminating zero).
struct RegistryValue {
  std::uint32_t kind = 0;
  std::string data;

  bool operator==(const RegistryValue&) const = default;
};

// A readable value together with where it lives, for listings.
struct RegistryEntry {
  std::string keyPath;
  std::string name;
  RegistryValue value;
};

// The contents of a registry file in REGEDIT4 text (CP932). Parsing never
// fails: a line that cannot be read is kept verbatim, takes no part in
// look-ups and is written back as it was, so a damaged or hand-edited file
// loses nothing when it is saved again. Key paths and value names compare
// without regard to ASCII case, as the registry does; the default value of a
// key has the empty name.
class RegistryDocument {
 public:
  static RegistryDocument Parse(std::string_view text);
  std::string Serialize() const;

  // True when the key, or any key below it, is in the document.
  bool HasKey(std::string_view path) const;
  // Adds an empty key; false when it was already there.
  bool AddKey(std::string_view path);

  // Null when the key or the value is absent.
  const RegistryValue* FindValue(std::string_view keyPath, std::string_view name) const;
  // Adds the key when needed; replaces a value of the same name in place.
  // The name and path must pass the checks below. False when the document
  // already held exactly this value.
  bool SetValue(std::string_view keyPath, std::string_view name, RegistryValue value);

  std::vector<RegistryEntry> Entries() const;

 private:
  struct Item {
    bool readable = false;
    std::string name;
    RegistryValue value;
    std::vector<std::string> rawLines;  // when not readable
  };
  // Names folded as they compare (ASCII case ignored), so that finding a key
  // or a value costs the same in a file of any size.
  using Index = std::unordered_map<std::string, std::size_t>;
  struct Section {
    bool readable = false;  // false for lines before any key and for a damaged header
    std::string path;
    std::string rawHeader;  // when not readable; empty for the lines before any key
    std::vector<Item> items;
    Index itemIndex;  // readable items by folded name
  };

  Section* FindSection(std::string_view path);
  const Section* FindSection(std::string_view path) const;
  Section& AppendSection(Section section);
  void AddItem(Section& section, Item item);

  std::vector<Section> sections_;  // the first holds the lines before any key
  Index sectionIndex_;             // readable sections by folded path
};

// Whether a value name, or a key path, can be written so that it reads back
// the same: valid CP932 without control bytes (and a path not empty and not
// beginning with '-', which regedit reads as a deletion).
bool RegistryNameIsWritable(std::string_view name);
bool RegistryKeyPathIsWritable(std::string_view path);

}  // namespace tarnwick
