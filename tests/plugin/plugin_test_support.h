// What the plug-in's tests share: a small solution and the built plug-in loaded into the host
// stand-in.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fmhost_api.h"

namespace tideloom {

namespace plugin_test {

// "Sales" (active) and "Contacts", one table each.
fmhost::Solution SmallSolution();

// The host with SmallSolution and a fresh, not yet started, TideLoom.fmx64.
class LoadedPluginTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<fmhost::Plugin> plugin_;
};

// The answer in a string request's buffer, up to its terminating zero.
std::u16string AnswerText(const std::vector<uint16_t>& buffer);

} // namespace plugin_test

} // namespace tideloom
