// The simulated device: turns one request body into one answer body.
#pragma once

#include <string>
#include <string_view>

#include "simulator/Store.h"

namespace QuorSim {

class Device {
 public:
  explicit Device(Store& store) : store_(store) {}

  // Answer = answer code (the command code with its second byte plus one),
  // device return code, results. Never throws for any input.
  std::string Handle(std::string_view request);

  static std::string AnswerHeader(std::string_view request, uint16_t code);

 private:
  Store& store_;
};

}  // namespace QuorSim
