// The pointer list's pass rules.
#include "interp/plist.h"

#include <gtest/gtest.h>

#include "interp/ip.h"

using namespace tarvex;

// A pass over `initial` in which visiting `actor` does `actions` ("+C" appends C, "-B" removes
// B, "*" clears); what that pass visits, and what the next one visits.
TEST(plist, pass_visits_and_keeps_what_the_rules_say) {
  const std::tuple<std::string, char, std::string, std::string, std::string> cases[] = {
      {"AB", 'A', "+C", "ABC", "ABC"}, // appended: visited later in the pass
      {"AB", 'B', "+D", "AB", "ABD"},  // except when appended by the last record
      {"ABC", 'A', "-B", "AC", "AC"},  // removed before its visit: not visited
      {"ABC", 'A', "+D*", "A", ""}};   // cleared: nothing more
  for (const auto& [initial, actor, actions, visited, nextpass] : cases) {
    plist<ip> list;
    ip* byname[4] = {};
    auto add = [&](char name) { byname[name - 'A'] = &list.append(ip{.x = name}); };
    for (char name : initial)
      add(name);
    std::string seen, next;
    auto pass = list.begin_pass();
    while (ip* r = pass.next()) {
      seen.push_back(char(r->x));
      for (size_t i = 0; r->x == actor && i < actions.size(); i += 2)
        switch (actions[i]) {
        case '+': add(actions[i + 1]); break;
        case '-': list.remove(*byname[actions[i + 1] - 'A']); break;
        default: list.clear();
        }
    }
    EXPECT_EQ(list.count(), nextpass.size());
    list.release();
    list.each([&](const ip& r) { next.push_back(char(r.x)); });
    EXPECT_EQ(seen + " then " + next, visited + " then " + nextpass) << initial;
  }
}
