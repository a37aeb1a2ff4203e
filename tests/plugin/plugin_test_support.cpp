#include "plugin_test_support.h"

namespace tideloom {

namespace plugin_test {

fmhost::Solution SmallSolution() {
  return fmhost::ParseSolution(R"json({
    "activeFile": "Sales",
    "windows": ["Sales - Invoices (Detail)"],
    "files": [
      {"name": "Sales", "tables": [{"name": "Invoices", "fields": [{"name": "Id", "type": "decimal"}]}]},
      {"name": "Contacts", "tables": [{"name": "People", "fields": [{"name": "Name"}]}]}
    ]})json");
}

void LoadedPluginTest::SetUp() {
  fmhost::ResetHost();
  fmhost::UseSolution(SmallSolution());
  std::string error;
  plugin_ = fmhost::Plugin::Load(TIDELOOM_PLUGIN_PATH, &error);
  ASSERT_NE(plugin_, nullptr) << error;
}

void LoadedPluginTest::TearDown() {
  plugin_.reset();
  fmhost::ClearInjectedFailures();
  EXPECT_EQ(fmhost::LiveHostObjects(), 0u) << "a host object outlived its use";
}

std::u16string AnswerText(const std::vector<uint16_t>& buffer) {
  std::u16string text;
  for (uint16_t unit : buffer) {
    if (unit == 0) break;
    text.push_back(static_cast<char16_t>(unit));
  }
  return text;
}

} // namespace plugin_test

} // namespace tideloom
