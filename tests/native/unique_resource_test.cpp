#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "base/unique_resource.h"

namespace {
using namespace orv;

// A resource kind whose "handles" are ints, -1 meaning none; every release is recorded.
std::vector<int> g_closed;

struct IntTraits {
  using Handle = int;
  static Handle Null() { return -1; }
  static bool IsValid(Handle handle) { return handle >= 0; }
  static void Close(Handle handle) { g_closed.push_back(handle); }
};

using UniqueInt = UniqueResource<IntTraits>;

}  // namespace

TEST(UniqueResource, ReleasesEachValidResourceExactlyOnce) {
  g_closed.clear();
  {
    UniqueInt empty;
    UniqueInt invalid(-5);
    EXPECT_FALSE(empty);
    EXPECT_FALSE(invalid);
    UniqueInt a(1);
    UniqueInt b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), 1);
    UniqueInt c(2);
    c = std::move(b);  // closes 2, takes 1
    UniqueInt& alias = c;
    c = std::move(alias);  // no effect
    EXPECT_EQ(c.get(), 1);
    UniqueInt d(3);
    EXPECT_EQ(d.release(), 3);  // not closed: the caller owns it now
    d.reset(4);
    d.reset(5);  // closes 4
    int* slot = d.out();  // closes 5
    *slot = 6;
    EXPECT_EQ(d.get(), 6);
  }  // closes 6 (d) and 1 (c)
  EXPECT_EQ(g_closed, (std::vector<int>{2, 4, 5, 6, 1}));
}
