#include "platform/object_factory.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

class Thing : public AutomationObject {};

TEST(ObjectFactory, CreatesByEitherNameOverridesTemporarilyAndTrapsThrows) {
  auto& factory = ObjectFactory::instance();
  factory.register_class("test.thing", "{00000000-0000-0000-0000-0000000000AA}",
                         [] { return std::make_shared<Thing>(); });
  EXPECT_NE(factory.create("TEST.Thing"), nullptr);
  EXPECT_NE(factory.create("{00000000-0000-0000-0000-0000000000aa}"), nullptr);
  // An override that removes a class, and its end with the guard: the signing tests.
  auto guard = factory.override_class("test.broken", []() -> std::shared_ptr<AutomationObject> {
    throw std::runtime_error("library missing");
  });
  std::string error;
  EXPECT_EQ(factory.create("test.broken", &error), nullptr);
  EXPECT_EQ(error, "library missing");
}

}  // namespace
}  // namespace corvane::platform
