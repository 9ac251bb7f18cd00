// Shared set-up of the engine tests: an in-memory engine with the standard
// window tree, a binding of the test's own and a virtual clock.
#pragma once

#include <gtest/gtest.h>

#include "browser/document_binding.h"
#include "browser/late_binding.h"
#include "testing/memory/memory_engine.h"
#include "testing/virtual_clock.h"

namespace brevane::browser_testing {

class PageTest : public ::testing::Test {
 protected:
  // Shows html as the top page and binds it from the main window.
  memory::DocumentPtr ShowAndBind(std::string_view html, memory::PageOptions options = {}) {
    memory::DocumentPtr document = engine.Show(html, options);
    EXPECT_EQ(binding.BindDocument(engine, engine.windows().main, false, 0), 1);
    return document;
  }

  // Values of one attribute of the clicked elements, in order.
  std::vector<Text> ClickedIds() const {
    std::vector<Text> ids;
    for (const auto& element : engine.clicks()) ids.push_back(element->Attribute("id").value_or("?"));
    return ids;
  }

  memory::MemoryEngine engine;
  DocumentBinding binding;
  testing::VirtualClock clock;
};

}  // namespace brevane::browser_testing
