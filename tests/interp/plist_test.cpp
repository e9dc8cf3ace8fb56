// The pointer list: append, removal by identity, clear, count, and the four pass rules.
#include "interp/plist.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "runtime/text.h"

namespace tarvex {
namespace {

struct rec {
  char name = '?';
  Text owned; // something the list must drop when it releases the record
};

// What a visit does, by the name of the record being visited: "+C" appends C, "-B" removes B,
// "*" clears the list.
struct passcase {
  const char* what;
  std::string initial;
  std::map<char, std::string> script;
  std::string visited;   // in this pass
  std::string remaining; // the list after it
  std::string nextpass;  // what the next pass visits
};

class passrules : public ::testing::TestWithParam<passcase> {};

TEST_P(passrules, visit_order_and_list_follow_the_pass_rules) {
  const passcase& c = GetParam();
  plist<rec> list;
  std::map<char, rec*> byname;
  auto add = [&](char name) { byname[name] = &list.append(rec{name, {}}); };
  for (char name : c.initial)
    add(name);

  std::string visited;
  auto pass = list.begin_pass();
  while (rec* r = pass.next()) {
    visited.push_back(r->name);
    auto step = c.script.find(r->name);
    if (step == c.script.end()) continue;
    const std::string& actions = step->second;
    for (size_t i = 0; i < actions.size(); ++i) {
      if (actions[i] == '+')
        add(actions[++i]);
      else if (actions[i] == '-')
        list.remove(*byname.at(actions[++i]));
      else if (actions[i] == '*')
        list.clear();
    }
  }
  EXPECT_EQ(visited, c.visited);

  std::string remaining;
  list.each([&](const rec& r) { remaining.push_back(r.name); });
  EXPECT_EQ(remaining, c.remaining);
  EXPECT_EQ(list.count(), c.remaining.size());
  list.release();

  std::string next;
  auto again = list.begin_pass();
  while (rec* r = again.next())
    next.push_back(r->name);
  EXPECT_EQ(next, c.nextpass);
}

INSTANTIATE_TEST_SUITE_P(
    plist, passrules,
    ::testing::Values(
        passcase{"plain", "ABC", {}, "ABC", "ABC", "ABC"}, passcase{"empty", "", {}, "", "", ""},
        passcase{"append_during_first", "AB", {{'A', "+C"}}, "ABC", "ABC", "ABC"},
        passcase{"append_during_last_waits", "AB", {{'B', "+D"}}, "AB", "ABD", "ABD"},
        passcase{
            "appended_record_appends", "AB", {{'A', "+C"}, {'C', "+D"}}, "ABC", "ABCD", "ABCD"},
        passcase{"self_removal", "ABC", {{'B', "-B"}}, "ABC", "AC", "AC"},
        passcase{"double_removal", "ABC", {{'B', "-B-B"}}, "ABC", "AC", "AC"},
        passcase{"removed_before_visit", "ABC", {{'A', "-B"}}, "AC", "AC", "AC"},
        passcase{"removed_after_visit", "ABC", {{'C', "-A"}}, "ABC", "BC", "BC"},
        passcase{"all_after_removed", "ABC", {{'A', "-B-C"}}, "A", "A", "A"},
        passcase{"split_then_removed_by_sweep", "AB", {{'A', "-A+C+D-B"}}, "ACD", "CD", "CD"},
        passcase{"clear_stops_pass", "ABC", {{'A', "*"}}, "A", "", ""},
        passcase{"clear_self_last", "ABC", {{'C', "*"}}, "ABC", "", ""},
        passcase{"appended_then_cleared", "AB", {{'A', "+C*"}}, "A", "", ""}),
    [](const ::testing::TestParamInfo<passcase>& row) { return row.param.what; });

TEST(plist, removed_record_stays_readable_until_release) {
  plist<rec> list;
  rec& a = list.append(rec{'A', u"kept"});
  list.remove(a);
  EXPECT_FALSE(list.contains(a));
  EXPECT_EQ(a.name, 'A');
  EXPECT_EQ(a.owned, u"kept");
  EXPECT_EQ(list.count(), 0u);
}

TEST(plist, reused_entry_starts_as_a_fresh_record) {
  plist<rec> list;
  rec& a = list.append(rec{'A', u"old text that is long enough to live on the heap"});
  list.remove(a);
  list.release();
  rec& b = list.append();
  EXPECT_TRUE(list.contains(b));
  EXPECT_EQ(b.name, '?');
  EXPECT_TRUE(b.owned.empty());
}

TEST(plist, many_records_keep_order_across_blocks_and_reuse) {
  plist<rec> list;
  std::vector<rec*> all;
  for (int i = 0; i < 3000; ++i)
    all.push_back(&list.append(rec{static_cast<char>(i % 100), {}}));
  for (int i = 0; i < 3000; i += 2)
    list.remove(*all[static_cast<size_t>(i)]);
  list.release();
  for (int i = 0; i < 1500; ++i)
    list.append(rec{static_cast<char>(100 + i % 20), {}});
  std::vector<char> seen;
  list.each([&](const rec& r) { seen.push_back(r.name); });
  ASSERT_EQ(seen.size(), 3000u);
  EXPECT_EQ(list.count(), 3000u);
  for (int i = 0; i < 1500; ++i) {
    EXPECT_EQ(seen[static_cast<size_t>(i)], static_cast<char>((2 * i + 1) % 100));
    EXPECT_EQ(seen[static_cast<size_t>(1500 + i)], static_cast<char>(100 + i % 20));
  }
}

} // namespace
} // namespace tarvex
