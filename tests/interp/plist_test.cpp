// The pointer list's pass rules.
#include "interp/plist.h"

#include <gtest/gtest.h>

#include "interp/ip.h"

using namespace tarvex;

// A pass over `initial` in which visiting `actor` does `actions` ("+C" appends C, "-B" removes
// B, "*" clears); what that pass visits, and what the next one visits.
TEST(plist, pass_visits_and_keeps_what_the_rules_say) {
  const struct {
    std::string initial;
    char actor;
    std::string actions, visited, nextpass;
  } cases[] = {{"AB", 'A', "+C", "ABC", "ABC"},   // appended: visited later in the pass
               {"AB", 'B', "+D", "AB", "ABD"},    // except when appended by the last record
               {"ABC", 'B', "-B-B", "ABC", "AC"}, // removing itself, twice
               {"ABC", 'A', "-B", "AC", "AC"},    // removed before its visit: not visited
               {"ABC", 'A', "+D*", "A", ""}};     // cleared: nothing more
  for (const auto& c : cases) {
    plist<ip> list;
    ip* byname[128] = {};
    for (char name : c.initial)
      byname[name & 127] = &list.append(ip{.x = name});
    std::string visited, next;
    auto pass = list.begin_pass();
    while (ip* r = pass.next()) {
      visited.push_back(char(r->x));
      for (size_t i = 0; r->x == c.actor && i < c.actions.size(); i += 2)
        if (c.actions[i] == '+')
          byname[c.actions[i + 1] & 127] = &list.append(ip{.x = c.actions[i + 1]});
        else if (c.actions[i] == '-')
          list.remove(*byname[c.actions[i + 1] & 127]);
        else
          list.clear();
    }
    EXPECT_EQ(list.count(), c.nextpass.size());
    list.release();
    list.each([&](const ip& r) { next.push_back(char(r.x)); });
    EXPECT_EQ(visited + " then " + next, c.visited + " then " + c.nextpass) << c.initial;
  }
}
