// INI text reader and editor that keeps every line byte for byte, so that a
// load, an edit and a save preserve comments, spacing and order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/IniErrors.h"

namespace Quor::Base {

struct IniLine {
  enum Kind : int32_t { SectionLine = 0, KeyLine = 1, OtherLine = 2 };

  std::string raw;      // the line as read, without its terminator
  std::string section;  // SectionLine: trimmed name
  std::string key;      // KeyLine: trimmed key
  std::string value;    // KeyLine: value
  int32_t kind = OtherLine;
};

class INIParser {
 public:
  INIParser() = default;
  // Loads at once; throws like Load.
  explicit INIParser(const std::string& pathOrText);
  virtual ~INIParser() = default;

  // pathOrText: a file path, or INI text wrapped in braces (after trimming).
  void Load(const std::string& pathOrText);

  std::vector<std::string> GetValues(const std::string& section, const std::string& key) const;
  std::vector<std::pair<std::string, std::string>> GetSection(const std::string& section) const;
  // index < 0 changes every occurrence of the key.
  void SetValue(const std::string& section, const std::string& key, const std::string& value, int32_t index);
  void AddSection(const std::string& name, const std::string& comment, bool semicolon);
  void AddKey(const std::string& section, const std::string& key, const std::string& value,
              const std::string& comment, bool semicolon);
  void RemoveSection(const std::string& name);
  // index < 0 removes every occurrence of the key.
  void RemoveKey(const std::string& section, const std::string& key, int32_t index);
  void RenameSection(const std::string& oldName, const std::string& newName);
  void Save(const std::string& path) const;

  bool IsLoaded() const { return loaded_; }
  const std::vector<IniLine>& Lines() const { return lines_; }

  // Message of an INI code; "Unknow error" for any code not in the table.
  static const char* ErrorMessage(int32_t code) { return IniError(code).text; }

 private:
  // A section's header and its last key line (the header when it has none).
  struct Extent {
    size_t header;
    size_t last;
  };

  void CheckLoaded() const;
  std::optional<Extent> FindSection(const std::string& trimmedName) const;
  Extent LookupSection(const std::string& section) const;                                   // 106, 104
  std::vector<size_t> LookupKey(const std::string& section, const std::string& key) const;  // 106, 109, 104, 107

  bool loaded_ = false;
  std::vector<IniLine> lines_;
};

}  // namespace Quor::Base
