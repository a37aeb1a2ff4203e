// The built plug-in loaded into the host stand-in, not yet started, with a small solution:
// "Sales" (active) and "Contacts", one table each.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fmhost_api.h"

namespace tideloom {

class LoadedPluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    fmhost::UseSolution(fmhost::ParseSolution(R"json({
      "activeFile": "Sales", "windows": ["Sales - Invoices (Detail)"],
      "files": [
        {"name": "Sales", "tables": [{"name": "Invoices", "fields": [{"name": "Id", "type": "decimal"}]}]},
        {"name": "Contacts", "tables": [{"name": "People", "fields": [{"name": "Name"}]}]}
      ]})json"));
    std::string error;
    plugin_ = fmhost::Plugin::Load(TIDELOOM_PLUGIN_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
  }
  void TearDown() override {
    plugin_.reset();
    fmhost::ClearInjectedFailures();
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u) << "a host object outlived its use";
  }
  std::unique_ptr<fmhost::Plugin> plugin_;
};

} // namespace tideloom
