#include "config/INIParser.h"

#include <cstdio>
#include <memory>
#include <string_view>

#include "common/Text.h"

namespace Quor::Base {
namespace {

[[noreturn]] void Fail(int32_t code) { throw Exception(IniError(code)); }

struct FileCloser {
  void operator()(FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

std::string ReadWholeFile(const std::string& path) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) Fail(kIniOpenFile);
  std::string text;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) text.append(buf, n);
  // A directory opens but cannot be read.
  if (std::ferror(f.get())) Fail(kIniOpenFile);
  return text;
}

// Next occurrence of a pattern at or after a position. The answer stays valid
// until the position passes it, so a text of many lines is not rescanned for
// every line.
class NextFinder {
 public:
  NextFinder(std::string_view text, std::string_view pattern) : text_(text), pattern_(pattern) {}
  size_t From(size_t pos) {
    if (!searched_ || (at_ != std::string_view::npos && at_ < pos)) {
      at_ = text_.find(pattern_, pos);
      searched_ = true;
    }
    return at_;
  }

 private:
  std::string_view text_;
  std::string_view pattern_;
  size_t at_ = std::string_view::npos;
  bool searched_ = false;
};

Exception FormatError(int32_t lineNumber) {
  return Exception(kIniFormat,
                   std::string(IniError(kIniFormat).text) + " at line [" + std::to_string(lineNumber) + "]");
}

IniLine MakeLine(std::string raw, int32_t kind) {
  IniLine line;
  line.raw = std::move(raw);
  line.kind = kind;
  return line;
}

IniLine CommentLine(const std::string& comment, bool semicolon) {
  return MakeLine((semicolon ? ";" : "#") + comment, IniLine::OtherLine);
}

IniLine HeaderLine(const std::string& untrimmedName, std::string name) {
  IniLine line = MakeLine("[" + untrimmedName + "]", IniLine::SectionLine);
  line.section = std::move(name);
  return line;
}

}  // namespace

INIParser::INIParser(const std::string& pathOrText) { Load(pathOrText); }

void INIParser::Load(const std::string& pathOrText) {
  loaded_ = false;
  const std::string_view arg = TrimView(pathOrText);
  std::string fileText;
  std::string_view text;
  if (!arg.empty() && arg.front() == '{' && arg.back() == '}') {
    text = arg.substr(1, arg.size() - 2);
  } else {
    fileText = ReadWholeFile(std::string(arg));
    text = fileText;
  }

  lines_.clear();
  std::string current;
  int32_t lineNumber = 1;
  size_t pos = 0;
  NextFinder crlf(text, "\r\n"), cr(text, "\r"), lf(text, "\n");
  while (pos < text.size()) {
    size_t end = crlf.From(pos);
    size_t termLen = 2;
    if (end == std::string_view::npos) {
      end = cr.From(pos);
      termLen = 1;
    }
    if (end == std::string_view::npos) end = lf.From(pos);
    if (end == std::string_view::npos) {
      end = text.size();
      termLen = 0;
    }

    IniLine line = MakeLine(std::string(text.substr(pos, end - pos)), IniLine::OtherLine);
    const std::string_view t = TrimView(line.raw);
    if (t.empty() || t.front() == '#' || t.front() == ';') {
      // blank line or comment
    } else if (t.front() == '[') {
      const size_t close = t.find(']', 1);
      if (close == std::string_view::npos) throw FormatError(lineNumber);
      current = Trim(t.substr(1, close - 1));
      if (current.empty()) throw FormatError(lineNumber);
      line.kind = IniLine::SectionLine;
      line.section = current;
    } else {
      const size_t eq = t.find('=');
      if (eq == std::string_view::npos) throw FormatError(lineNumber);
      line.key = Trim(t.substr(0, eq));
      line.value = Trim(t.substr(eq + 1));
      if (line.key.empty() || line.value.empty() || current.empty()) throw FormatError(lineNumber);
      line.kind = IniLine::KeyLine;
    }
    lines_.push_back(std::move(line));

    pos = end + termLen;
    ++lineNumber;
  }
  loaded_ = true;
}

void INIParser::CheckLoaded() const {
  if (!loaded_) Fail(kIniNotLoaded);
}

std::optional<INIParser::Extent> INIParser::FindSection(const std::string& name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != IniLine::SectionLine || lines_[i].section != name) continue;
    Extent e{i, i};
    for (size_t j = i + 1; j < lines_.size() && lines_[j].kind != IniLine::SectionLine; ++j) {
      if (lines_[j].kind == IniLine::KeyLine) e.last = j;
    }
    return e;
  }
  return std::nullopt;
}

INIParser::Extent INIParser::LookupSection(const std::string& section) const {
  const std::string name = Trim(section);
  if (name.empty()) Fail(kIniEmptySection);
  const auto e = FindSection(name);
  if (!e) Fail(kIniNoSection);
  return *e;
}

std::vector<size_t> INIParser::LookupKey(const std::string& section, const std::string& key) const {
  const std::string name = Trim(section);
  const std::string k = Trim(key);
  if (name.empty()) Fail(kIniEmptySection);
  if (k.empty()) Fail(kIniEmptyKey);
  const Extent e = LookupSection(name);
  std::vector<size_t> found;
  for (size_t i = e.header + 1; i <= e.last; ++i) {
    if (lines_[i].kind == IniLine::KeyLine && lines_[i].key == k) found.push_back(i);
  }
  if (found.empty()) Fail(kIniNoKey);
  return found;
}

std::vector<std::string> INIParser::GetValues(const std::string& section, const std::string& key) const {
  CheckLoaded();
  std::vector<std::string> values;
  for (size_t i : LookupKey(section, key)) values.push_back(lines_[i].value);
  return values;
}

std::vector<std::pair<std::string, std::string>> INIParser::GetSection(const std::string& section) const {
  CheckLoaded();
  const Extent e = LookupSection(section);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = e.header + 1; i <= e.last; ++i) {
    if (lines_[i].kind == IniLine::KeyLine) pairs.emplace_back(lines_[i].key, lines_[i].value);
  }
  return pairs;
}

void INIParser::SetValue(const std::string& section, const std::string& key, const std::string& value, int32_t index) {
  CheckLoaded();
  const std::string trimmed = Trim(value);
  if (trimmed.empty()) Fail(kIniEmptyValue);
  std::vector<size_t> matches = LookupKey(section, key);
  if (index >= 0) {
    if (static_cast<size_t>(index) >= matches.size()) Fail(kIniNoKey);
    matches = {matches[static_cast<size_t>(index)]};
  }
  for (size_t i : matches) {
    IniLine& line = lines_[i];
    const size_t eq = line.raw.find('=');
    if (eq != std::string::npos) {
      const size_t at = line.raw.find(line.value, eq);
      // The stored value always lies after the "="; the fallback only keeps
      // the line coherent should that ever not hold.
      if (at != std::string::npos) {
        line.raw.replace(at, line.value.size(), value);
      } else {
        line.raw.replace(eq + 1, std::string::npos, value);
      }
    }
    line.value = index < 0 ? value : trimmed;
  }
}

void INIParser::AddSection(const std::string& name, const std::string& comment, bool semicolon) {
  CheckLoaded();
  const std::string trimmed = Trim(name);
  if (trimmed.empty()) Fail(kIniEmptySection);
  if (FindSection(trimmed)) Fail(kIniSectionExists);

  // New sections go before the blank and comment lines that close the text.
  size_t at = 0;
  for (size_t i = lines_.size(); i > 0; --i) {
    if (lines_[i - 1].kind != IniLine::OtherLine) {
      at = i;
      break;
    }
  }
  std::vector<IniLine> added;
  if (!TrimView(comment).empty()) added.push_back(CommentLine(comment, semicolon));
  added.push_back(HeaderLine(name, trimmed));
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
}

void INIParser::AddKey(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& comment, bool semicolon) {
  CheckLoaded();
  const std::string name = Trim(section);
  const std::string k = Trim(key);
  const std::string v = Trim(value);
  if (name.empty()) Fail(kIniEmptySection);
  if (k.empty()) Fail(kIniEmptyKey);
  if (v.empty()) Fail(kIniEmptyValue);

  size_t anchor;
  if (const auto e = FindSection(name)) {
    anchor = e->last;
    // The new occurrence joins the first run of that key; comment and blank
    // lines do not end a run, another key does.
    bool inRun = false;
    for (size_t i = e->header + 1; i <= e->last; ++i) {
      if (lines_[i].kind != IniLine::KeyLine) continue;
      if (lines_[i].key == k) {
        anchor = i;
        inRun = true;
      } else if (inRun) {
        break;
      }
    }
  } else {
    lines_.push_back(HeaderLine(section, name));
    anchor = lines_.size() - 1;
  }

  std::vector<IniLine> added;
  if (!TrimView(comment).empty()) added.push_back(CommentLine(comment, semicolon));
  IniLine line = MakeLine(key + "=" + value, IniLine::KeyLine);
  line.key = k;
  line.value = v;
  added.push_back(std::move(line));
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(anchor + 1), added.begin(), added.end());
}

void INIParser::RemoveSection(const std::string& name) {
  CheckLoaded();
  const Extent e = LookupSection(name);
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(e.header),
               lines_.begin() + static_cast<std::ptrdiff_t>(e.last + 1));
}

void INIParser::RemoveKey(const std::string& section, const std::string& key, int32_t index) {
  CheckLoaded();
  std::vector<size_t> matches = LookupKey(section, key);
  if (index >= 0) {
    if (static_cast<size_t>(index) >= matches.size()) Fail(kIniNoKey);
    matches = {matches[static_cast<size_t>(index)]};
  }
  for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*it));
  }
}

void INIParser::RenameSection(const std::string& oldName, const std::string& newName) {
  CheckLoaded();
  const std::string trimmed = Trim(newName);
  if (trimmed.empty()) Fail(kIniEmptySection);
  IniLine& header = lines_[LookupSection(oldName).header];

  // Only the name between "[" and the first "]" is rewritten: an occurrence
  // of the old name in a trailing note must not be taken for it. When the
  // untrimmed old name is not found there (say it came with extra blanks),
  // the whole name is replaced.
  const size_t open = header.raw.find('[');
  size_t close = header.raw.find(']', open + 1);
  if (close == std::string::npos) close = header.raw.size();
  const size_t at = header.raw.find(oldName, open + 1);
  if (!oldName.empty() && at != std::string::npos && at + oldName.size() <= close) {
    header.raw.replace(at, oldName.size(), newName);
  } else {
    header.raw.replace(open + 1, close - open - 1, newName);
  }
  header.section = trimmed;
}

void INIParser::Save(const std::string& path) const {
  CheckLoaded();
  FilePtr f(std::fopen(path.c_str(), "wb"));
  if (!f) Fail(kIniOpenFile);
  for (const IniLine& line : lines_) {
    if (std::fwrite(line.raw.data(), 1, line.raw.size(), f.get()) != line.raw.size() ||
        std::fputc('\n', f.get()) == EOF) {
      Fail(kIniOpenFile);
    }
  }
  FILE* raw = f.release();
  if (std::fclose(raw) != 0) Fail(kIniOpenFile);
}

}  // namespace Quor::Base
