// The document of a readable text that the test expects to be valid.
#pragma once

#include <gtest/gtest.h>

#include "eddtext/text_form.h"

namespace tavrin::eddtext {

inline Document assembled(std::string_view text) {
  Assembled a = assembleText(text, "test");
  EXPECT_TRUE(a.document) << a.error;
  return a.document.value_or(Document{});
}

}  // namespace tavrin::eddtext
