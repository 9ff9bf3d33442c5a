#include "registry_fixture.h"

using RegistryKeyTest = RegistryTest;

// The saver's fixed-size buffers rely on "longer than the buffer" being
// reported as not read, never as a truncated value.
TEST_F(RegistryKeyTest, ValueLongerThanTheLimitIsNotRead) {
    EXPECT_EQ(RegistryKey::openForRead(Settings::registryKey), nullptr);
    plant("text", kRegistryString, bytes("abcd"));  // stored without a NUL
    plant("empty", 3, {});
    auto key = RegistryKey::openForRead(Settings::registryKey);
    ASSERT_NE(key, nullptr);

    EXPECT_TRUE(valueIs(key->queryValue("text", 4), kRegistryString, bytes("abcd")));
    EXPECT_TRUE(valueIs(key->queryValue("text", 100), kRegistryString, bytes("abcd")));
    EXPECT_FALSE(key->queryValue("text", 3).has_value());
    EXPECT_FALSE(key->queryValue("text", 0).has_value());
    EXPECT_TRUE(valueIs(key->queryValue("empty", 0), 3, {}));
    EXPECT_FALSE(key->queryValue("absent", 100).has_value());
}
