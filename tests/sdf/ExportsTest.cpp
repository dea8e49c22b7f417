// The shared library exports exactly the functions of the public header.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> HeaderFunctions() {
  std::ifstream in(QUOR_HEADER_PATH);
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  std::set<std::string> names;
  const std::regex proto(R"(QUOR_API\s+SGD_RV\s+(\w+)\s*\()");
  for (auto it = std::sregex_iterator(s.begin(), s.end(), proto); it != std::sregex_iterator(); ++it)
    names.insert((*it)[1]);
  return names;
}

std::set<std::string> DynamicSymbols() {
  const std::string cmd = std::string("nm -D --defined-only ") + QUOR_LIBRARY_PATH;
  FILE* p = popen(cmd.c_str(), "r");
  EXPECT_NE(p, nullptr);
  std::set<std::string> names;
  if (!p) return names;
  char line[512];
  while (fgets(line, sizeof line, p)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) names.insert(name);
  }
  EXPECT_EQ(pclose(p), 0);
  return names;
}

TEST(Exports, OnlyTheHeaderFunctions) {
  const std::set<std::string> header = HeaderFunctions();
  const std::set<std::string> exported = DynamicSymbols();
  ASSERT_FALSE(header.empty());
  for (const std::string& name : exported)
    EXPECT_TRUE(name.rfind("SDF_", 0) == 0 || name.rfind("Quor_", 0) == 0) << "exported: " << name;
  for (const std::string& name : header) EXPECT_TRUE(exported.contains(name)) << "not exported: " << name;
  for (const std::string& name : exported) EXPECT_TRUE(header.contains(name)) << "not in the header: " << name;
}

}  // namespace
