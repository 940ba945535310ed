#include <gtest/gtest.h>

#include "common/test_support.h"
#include "pki/test_pki.h"

TEST(Pki, Smoke) {
    auto& pki = TestPki::Pki::Get();
    EXPECT_FALSE(pki.Names().empty());
    auto q = pki.Certificate("qualified");
    EXPECT_TRUE(q);
}
