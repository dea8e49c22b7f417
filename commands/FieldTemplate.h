// The field template language: one short text describes the layout of a host
// command answer (or request) as consecutive fields, for both formatting
// values into bytes and parsing bytes back into values.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "client/Exception.h"
#include "common/Bytes.h"

namespace Quor::Commands {

// Template error numbers (carried as Quor::Exception codes).
enum TemplateError : int32_t {
  kTplSuccess = 0,
  kTplUnknown = 1,
  kTplBraceMatch = 2,
  kTplEmptyBraces = 3,
  kTplCommaMissing = 4,
  kTplIndexMissing = 5,
  kTplIndexInvalid = 6,
  kTplIndexIncontinuous = 7,
  kTplColonMissing = 8,
  kTplWidthMissing = 9,
  kTplWidthInvalid = 10,
  kTplParenMissing = 11,
  kTplParenMatch = 12,
  kTplEmptyParens = 13,
  kTplFormatChar = 14,
  kTplParameterInvalid = 15,
  kTplGenerateDataNotFound = 16,
  kTplSourceTooSmall = 17,
  kTplSourceTooBig = 18,
  kTplTooManyParameters = 19,
};

// Message of a template error number; "Unknow error" for numbers not in the table.
const char* TemplateErrorMessage(int32_t number) noexcept;

// Field type codes.
enum FieldType : int32_t { kLiteral = 0, kTypeA = 1, kTypeH = 2, kTypeN = 3, kTypeB = 4 };

struct TemplateElement {
  Bytes text;          // literal: its characters; field: the text between the braces
  int32_t index = -1;  // -1 for a literal
  int32_t width = 0;   // fixed width, or -n for "$(n)"
  int32_t type = kLiteral;
  // Set for "$(n)": a width of -n cannot tell "$(0)" from a fixed width of 0.
  bool reference = false;
};

class FieldTemplate {
 public:
  // Throws Quor::Exception with a template error (2 to 14).
  static FieldTemplate compile(std::string_view text);

  // Throws a template error (14, 15).
  Bytes format(std::span<const Bytes> values) const;
  // Throws a template error (14 to 17); the result owns copies of the fields.
  std::vector<Bytes> parse(std::string_view data) const;
  // As parse, but the fields are views into data (which must outlive them).
  void parseViews(std::string_view data, std::vector<std::string_view>& fields) const;

  const std::vector<TemplateElement>& elements() const { return elements_; }
  const std::vector<int32_t>& fieldPositions() const { return positions_; }
  size_t fieldCount() const { return positions_.size(); }

 private:
  std::vector<TemplateElement> elements_;
  std::vector<int32_t> positions_;
};

// Compiles templateText, parses answer and assigns field i to *outputs[i] for
// every i below both outputs.size() and the number of fields parsed (null
// outputs are skipped). Returns the full number of fields parsed. Throws
// template errors like compile and parse.
size_t unpackAnswer(std::string_view answer, std::string_view templateText, std::span<Bytes* const> outputs);

}  // namespace Quor::Commands
