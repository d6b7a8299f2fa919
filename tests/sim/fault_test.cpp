// SPDX-License-Identifier: GPL-3.0-or-later
// Faults on the head line's replies: each kind at rate 0 and 1, and a mixed rate
// that is repeatable with the same seed.
#include <gtest/gtest.h>

#include <bit>

#include "fault_injector.h"

using namespace q47vsim;

namespace {
std::vector<std::uint8_t> Reply() {
  std::vector<std::uint8_t> r(100);
  for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(i * 7);
  return r;
}
std::vector<std::uint8_t> Joined(const std::vector<TimedBytes>& pieces) {
  std::vector<std::uint8_t> v;
  for (auto& p : pieces) v.insert(v.end(), p.bytes.begin(), p.bytes.end());
  return v;
}
}  // namespace

TEST(Faults, EachKindDoesWhatItSays) {
  {
    FaultInjector none({}, 1);
    auto p = none.Apply(Reply());
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].offset_s, 0);
    EXPECT_EQ(p[0].bytes, Reply());
  }
  {
    FaultOptions o;
    o.drop = 1;
    FaultInjector f(o, 1);
    EXPECT_TRUE(Joined(f.Apply(Reply())).empty());
    EXPECT_EQ(f.Counts().dropped, 100u);
  }
  {
    FaultOptions o;
    o.corrupt = 1;
    FaultInjector f(o, 1);
    auto got = Joined(f.Apply(Reply()));
    ASSERT_EQ(got.size(), 100u);
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(std::popcount(static_cast<unsigned>(got[i] ^ Reply()[i])), 1) << i;
  }
  {
    FaultOptions o;
    o.duplicate = 1;
    FaultInjector f(o, 1);
    auto got = Joined(f.Apply(Reply()));
    ASSERT_EQ(got.size(), 200u);
    for (std::size_t i = 0; i < 100; ++i) EXPECT_TRUE(got[2 * i] == Reply()[i] && got[2 * i + 1] == Reply()[i]);
  }
  {
    FaultOptions o;
    o.split = 1;
    o.split_gap_ms = 5;
    FaultInjector f(o, 1);
    auto pieces = f.Apply(Reply());
    EXPECT_EQ(Joined(pieces), Reply()) << "nothing lost, only late";
    ASSERT_GT(pieces.size(), 50u);
    for (std::size_t i = 1; i < pieces.size(); ++i) EXPECT_NEAR(pieces[i].offset_s - pieces[i - 1].offset_s, 0.005, 1e-12);
  }
  {
    FaultOptions o;
    o.garbage = 1;
    o.delay = 1;
    o.delay_ms = 250;
    FaultInjector f(o, 1);
    auto pieces = f.Apply(Reply());
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_DOUBLE_EQ(pieces[0].offset_s, 0.25);
    ASSERT_GT(pieces[0].bytes.size(), 100u);
    ASSERT_LE(pieces[0].bytes.size(), 116u);
    std::vector<std::uint8_t> tail(pieces[0].bytes.end() - 100, pieces[0].bytes.end());
    EXPECT_EQ(tail, Reply());
  }
}

TEST(Faults, MixedRateIsRepeatableAndRoughlyRight) {
  FaultOptions o;
  o.drop = 0.01;
  o.corrupt = 0.01;
  o.split = 0.01;
  FaultInjector a(o, 42), b(o, 42);
  for (int i = 0; i < 200; ++i) {
    auto pa = a.Apply(Reply()), pb = b.Apply(Reply());
    ASSERT_EQ(Joined(pa), Joined(pb));
  }
  // 20000 bytes at 1 %: about 200 of each, well inside 100..300.
  EXPECT_GT(a.Counts().dropped, 100u);
  EXPECT_LT(a.Counts().dropped, 300u);
  EXPECT_GT(a.Counts().corrupted, 100u);
  EXPECT_LT(a.Counts().corrupted, 300u);
  EXPECT_GT(a.Counts().splits, 100u);
  EXPECT_LT(a.Counts().splits, 300u);
}
