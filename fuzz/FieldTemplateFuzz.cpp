// Fuzz target: a template text, a zero byte, then bytes to parse (and to
// format as values). Device answers are untrusted, so parsing must never read
// past its input whatever the template.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "commands/FieldTemplate.h"

using Quor::Commands::FieldTemplate;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string_view text = input.substr(0, cut);
  const std::string_view bytes = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
  static const FieldTemplate answer = FieldTemplate::compile("{0,2:B}{1,2:B}{2,4:B}{3,$(2):B}{4,2:N}{5,$(4):B}");
  try {
    answer.parse(bytes);
  } catch (const Quor::Exception&) {
  }
  try {
    const FieldTemplate t = FieldTemplate::compile(text);
    try {
      t.parse(bytes);
    } catch (const Quor::Exception&) {
    }
    std::vector<Quor::Bytes> values;
    for (size_t i = 0; i < bytes.size() && values.size() < 8; i += 3) values.emplace_back(bytes.substr(i, 3));
    t.format(values);
  } catch (const Quor::Exception&) {
  }
  return 0;
}
