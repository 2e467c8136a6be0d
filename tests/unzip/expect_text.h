// EXPECT_THROW_TEXT: the statement raises E with exactly this message.
#pragma once

#include <gtest/gtest.h>

#include <string>

#define EXPECT_THROW_TEXT(statement, E, text)                   \
  do {                                                          \
    try {                                                       \
      statement;                                                \
      ADD_FAILURE() << "no exception from " #statement;         \
    } catch (const E& caught) {                                 \
      EXPECT_EQ(std::string(caught.what()), std::string(text)); \
    }                                                           \
  } while (0)
