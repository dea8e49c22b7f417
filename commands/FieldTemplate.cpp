#include "commands/FieldTemplate.h"

#include <limits>

#include "common/Hex.h"
#include "common/Text.h"

namespace Quor::Commands {
namespace {

constexpr const char* kMessages[] = {
    "Success",
    "Unknow error",
    "\"}\" match failed",
    "It's empty between \"{\" and \"}\"",
    "\",\" is missing",
    "Index is missing",
    "Index is invalid",
    "Index is incontinuous",
    "\":\" is missing",
    "Width is missing",
    "Width is invalid",
    "\"(\" is missing",
    "\")\" match failed",
    "It's empty between \"(\" and \")\"",
    "Format character invalid",
    "Parameter is invalid",
    "Find generate data failed",
    "Source data size too small",
    "Source data size too big",
    "The count of parameters is more than fields",
};

[[noreturn]] void Fail(int32_t number) { throw Exception(number, TemplateErrorMessage(number)); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal number with leading blanks skipped and trailing characters ignored;
// false when no digit follows the blanks and the optional sign.
bool ReadDecimal(std::string_view s, int64_t& value) {
  size_t i = 0;
  while (i < s.size() && IsAsciiSpace(s[i])) ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  if (i >= s.size() || !IsDigit(s[i])) return false;
  value = ParseLeadingInt(s);
  return true;
}

// Widths of 2^31 or more are refused: no answer or request is that long, and
// such a value would not survive the signed 32-bit width of the element.
constexpr uint64_t kMaxWidth = std::numeric_limits<int32_t>::max();

uint64_t ReadTextNumber(std::string_view s, int base) {
  size_t i = 0;
  while (i < s.size() && IsAsciiSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const auto digit = [base](char c) {
    const int v = HexDigitValue(c);
    return v >= 0 && v < base ? v : -1;
  };
  if (i >= s.size() || digit(s[i]) < 0) Fail(kTplParameterInvalid);
  uint64_t v = 0;
  for (; i < s.size() && digit(s[i]) >= 0; ++i) {
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit(s[i]));
    if (v > kMaxWidth) Fail(kTplParameterInvalid);
  }
  if (negative && v != 0) Fail(kTplParameterInvalid);
  return v;
}

// The width that field `source` (of type `type`) gives to a later field.
uint64_t WidthFromValue(std::string_view value, int32_t type) {
  switch (type) {
    case kTypeA:
      Fail(kTplFormatChar);
    case kTypeH:
      return ReadTextNumber(value, 16);
    case kTypeN:
      return ReadTextNumber(value, 10);
    default: {
      if (value.size() > 4) Fail(kTplParameterInvalid);
      uint64_t v = 0;
      for (const char c : value) v = (v << 8) | static_cast<unsigned char>(c);
      if (v > kMaxWidth) Fail(kTplParameterInvalid);
      return v;
    }
  }
}

}  // namespace

const char* TemplateErrorMessage(int32_t number) noexcept {
  if (number < 0 || number >= static_cast<int32_t>(std::size(kMessages))) return kMessages[kTplUnknown];
  return kMessages[number];
}

FieldTemplate FieldTemplate::compile(std::string_view t) {
  FieldTemplate out;
  int32_t last = -1;
  while (!t.empty()) {
    const size_t open = t.find('{');
    if (open == std::string_view::npos) {
      out.elements_.push_back({Bytes(t), -1, 0, kLiteral, false});
      break;
    }
    const size_t close = t.find('}');
    if (close == std::string_view::npos) Fail(kTplBraceMatch);
    // A "}" in the literal text before the "{" has no opening brace.
    if (close < open) Fail(kTplBraceMatch);
    if (close == open + 1) Fail(kTplEmptyBraces);
    out.elements_.push_back({Bytes(t.substr(0, open)), -1, 0, kLiteral, false});

    const std::string_view whole = t.substr(open + 1, close - open - 1);
    std::string_view e = whole;
    t = t.substr(close + 1);

    const size_t comma = e.find(',');
    if (comma == std::string_view::npos) Fail(kTplCommaMissing);
    if (comma == 0) Fail(kTplIndexMissing);
    int64_t index = 0;
    if (!ReadDecimal(e.substr(0, comma), index)) Fail(kTplIndexInvalid);
    if (index != int64_t{last} + 1) Fail(kTplIndexIncontinuous);
    e = e.substr(comma + 1);

    const size_t colon = e.find(':');
    if (colon == std::string_view::npos) Fail(kTplColonMissing);
    if (colon == 0) Fail(kTplWidthMissing);

    TemplateElement field{Bytes(whole), static_cast<int32_t>(index), 0, kLiteral, false};
    if (e.find('$') == std::string_view::npos) {
      int64_t width = 0;
      if (!ReadDecimal(e.substr(0, colon), width) || width < 0 || width > static_cast<int64_t>(kMaxWidth))
        Fail(kTplWidthInvalid);
      field.width = static_cast<int32_t>(width);
    } else {
      const size_t lp = e.find('(');
      if (lp == std::string_view::npos) Fail(kTplParenMissing);
      const size_t rp = e.find(')');
      if (rp == std::string_view::npos || rp < lp) Fail(kTplParenMatch);
      if (rp == lp + 1) Fail(kTplEmptyParens);
      int64_t n = 0;
      if (!ReadDecimal(e.substr(lp + 1, rp - lp - 1), n)) Fail(kTplWidthInvalid);
      // Only an earlier field can give a width: anything else would read a
      // field that does not exist yet.
      if (n < 0 || n >= index) Fail(kTplWidthInvalid);
      field.width = -static_cast<int32_t>(n);
      field.reference = true;
    }

    const std::string_view type = e.substr(colon + 1);
    if (type.size() != 1) Fail(kTplFormatChar);
    switch (type[0]) {
      case 'A':
        field.type = kTypeA;
        break;
      case 'H':
        field.type = kTypeH;
        break;
      case 'N':
        field.type = kTypeN;
        break;
      case 'B':
        field.type = kTypeB;
        break;
      default:
        Fail(kTplFormatChar);
    }

    out.positions_.push_back(static_cast<int32_t>(out.elements_.size()));
    out.elements_.push_back(std::move(field));
    last = static_cast<int32_t>(index);
  }
  return out;
}

Bytes FieldTemplate::format(std::span<const Bytes> values) const {
  Bytes out;
  size_t i = 0;
  for (const TemplateElement& el : elements_) {
    if (i == values.size()) break;
    if (el.index < 0) {
      out += el.text;
      continue;
    }
    uint64_t w = static_cast<uint32_t>(el.width);
    if (el.reference) {
      const auto n = static_cast<size_t>(-el.width);
      w = WidthFromValue(values[n], elements_[positions_[n]].type);
    }
    const Bytes& v = values[i];
    if (v.size() >= w) {
      out.append(v, 0, w);
    } else if (el.type == kTypeH || el.type == kTypeN) {
      out.append(w - v.size(), '0');
      out += v;
    } else {
      out += v;
      out.append(w - v.size(), '\0');
    }
    ++i;
  }
  return out;
}

void FieldTemplate::parseViews(std::string_view r, std::vector<std::string_view>& fields) const {
  fields.clear();
  for (const TemplateElement& el : elements_) {
    if (r.empty()) break;
    if (el.index < 0) {
      if (r.substr(0, el.text.size()) != el.text) Fail(kTplGenerateDataNotFound);
      r.remove_prefix(el.text.size());
      continue;
    }
    uint64_t w = static_cast<uint32_t>(el.width);
    if (el.reference) {
      const auto n = static_cast<size_t>(-el.width);
      w = WidthFromValue(fields[n], elements_[positions_[n]].type);
    }
    if (r.size() < w) Fail(kTplSourceTooSmall);
    fields.push_back(r.substr(0, w));
    r.remove_prefix(w);
  }
}

std::vector<Bytes> FieldTemplate::parse(std::string_view data) const {
  std::vector<std::string_view> views;
  parseViews(data, views);
  return {views.begin(), views.end()};
}

size_t unpackAnswer(std::string_view answer, std::string_view templateText, std::span<Bytes* const> outputs) {
  const FieldTemplate t = FieldTemplate::compile(templateText);
  std::vector<std::string_view> fields;
  t.parseViews(answer, fields);
  for (size_t i = 0; i < fields.size() && i < outputs.size(); ++i) {
    if (outputs[i]) outputs[i]->assign(fields[i]);
  }
  return fields.size();
}

}  // namespace Quor::Commands
