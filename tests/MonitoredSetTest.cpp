// The monitored set: adding order kept through removals, the first entry of
// equal texts found, families kept apart, and lookups that follow edits.
#include "monitor/MonitoredSet.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

using tavtest::Split;

// A record with the five texts a lookup goes by, "name|service|errorlog|home|version".
CSybaseServer Server(const std::string& texts) {
    const std::vector<std::string> t = Split(texts + "||||", '|');
    CSybaseServer server;
    server.SetServerName(t[0].c_str());
    server.SetServiceName(t[1].c_str());
    server.SetErrorlogName(t[2].c_str());
    server.SetDollarServer(t[3].c_str());
    server.SetServerVersion(t[4].c_str());
    return server;
}

std::unique_ptr<CMonitoredServer> Entry(const std::string& texts) {
    auto entry = std::make_unique<CMonitoredServer>();
    entry->AssignFromServer(Server(texts));
    return entry;
}

// The names of a family's entries in the set's order.
std::string Names(const CMonitoredSet& set, Family family) {
    std::string names;
    for (int i = 0; i < set.Count(family); ++i) names += (i ? "," : "") + set.At(i, family)->GetServerName();
    return names;
}

// The name of the entry found for the texts, or "-".
std::string Found(const CMonitoredSet& set, const std::string& texts, Family family = Family::Sybase) {
    const CSybaseServer server = Server(texts);
    const CMonitoredServer* entry = set.Find(&server, family);
    return entry ? entry->GetServerName() + "#" + std::to_string(entry->GetLogin().size()) : "-";
}

}  // namespace

// Adds and removes by name ("+A", "-A"), then the order left.
TEST(MonitoredSet, KeepsTheAddingOrderThroughRemovals) {
    const std::pair<std::vector<std::string>, const char*> CASES[] = {
        {{"+C", "+A", "+B"}, "C,A,B"},
        {{"+A", "+B", "+C", "-B"}, "A,C"},
        {{"+A", "+B", "+C", "-A", "+D", "-C"}, "B,D"},
        {{"+A", "-A", "+A"}, "A"},
        {{"+A", "-A", "-A"}, ""},
    };
    for (const auto& [steps, order] : CASES) {
        CMonitoredSet set;
        for (const std::string& step : steps) {
            const std::string name = step.substr(1);
            if (step[0] == '+') set.Add(Entry(name), Family::Sybase);
            else set.Remove(set.Find(&static_cast<const CServerFields&>(Server(name)), Family::Sybase), Family::Sybase);
        }
        EXPECT_EQ(Names(set, Family::Sybase), order) << testing::PrintToString(steps);
    }
}

// The five texts decide, with their case; of entries with equal texts the
// earliest added is found, and the next one once it is removed.
TEST(MonitoredSet, FindsByTheFiveTextsAndTheFirstAddedWins) {
    CMonitoredSet set;
    set.Add(Entry("SYB"), Family::Sybase);  // typed in: no service name
    CMonitoredServer* copies[2];
    for (int i = 0; i < 2; ++i) {
        copies[i] = set.Add(Entry("SYB|SYBSQL_SYB|log|H:\\syb|12.5"), Family::Sybase);
        copies[i]->SetLogin(std::string(i + 1, 'x').c_str());
    }
    const std::pair<const char*, const char*> LOOKUPS[] = {
        {"SYB|SYBSQL_SYB|log|H:\\syb|12.5", "SYB#1"}, {"SYB", "SYB#0"},
        {"syb|SYBSQL_SYB|log|H:\\syb|12.5", "-"},     {"SYB|sybsql_syb|log|H:\\syb|12.5", "-"},
        {"SYB|SYBSQL_SYB|LOG|H:\\syb|12.5", "-"},     {"SYB|SYBSQL_SYB|log|h:\\syb|12.5", "-"},
        {"SYB|SYBSQL_SYB|log|H:\\syb|12.5.1", "-"},   {"SYB|SYBSQL_SYB|log|H:\\syb12.5|", "-"},
    };
    for (const auto& [texts, found] : LOOKUPS) EXPECT_EQ(Found(set, texts), found) << texts;
    set.Remove(copies[0], Family::Sybase);
    EXPECT_EQ(Found(set, "SYB|SYBSQL_SYB|log|H:\\syb|12.5"), "SYB#2");
}

// An entry edited in the set is found by its new texts and no more by its
// old ones; among equal texts the adding order decides, not the edit's.
TEST(MonitoredSet, ALookupFollowsAnEdit) {
    using Edit = void (*)(CMonitoredServer&);
    const struct {
        const char* what;
        Edit edit;
        const char* now;        // B's texts after the edit
        const char* old_found;  // the lookup by B's texts before it
    } CASES[] = {
        {"name", [](CMonitoredServer& e) { e.SetServerName("C"); }, "C|svc", "-"},
        {"name, set as a record's", [](CMonitoredServer& e) { static_cast<CServerFields&>(e).SetServerName("C"); },
         "C|svc", "-"},
        {"service", [](CMonitoredServer& e) { e.SetServiceName("x"); }, "B|x", "-"},
        {"error log", [](CMonitoredServer& e) { e.SetErrorlogName("log"); }, "B|svc|log", "-"},
        {"home", [](CMonitoredServer& e) { e.SetDollarServer("H:\\"); }, "B|svc||H:\\", "-"},
        {"version", [](CMonitoredServer& e) { e.SetServerVersion("9"); }, "B|svc|||9", "-"},
        {"a record's texts", [](CMonitoredServer& e) { e.AssignFromServer(Server("D|d|d|d|d")); }, "D|d|d|d|d", "-"},
        {"the account only", [](CMonitoredServer& e) { e.SetPassword("pw"); }, "B|svc", "B#2"},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.what);
        CMonitoredSet set;
        set.Add(Entry("A|svc"), Family::Sybase)->SetLogin("a");
        CMonitoredServer* b = set.Add(Entry("B|svc"), Family::Sybase);
        b->SetLogin("bb");
        c.edit(*b);
        b->SetLogin("bb");  // AssignFromServer empties the account
        EXPECT_EQ(Found(set, "B|svc"), c.old_found);
        EXPECT_EQ(Found(set, c.now), Split(c.now, '|')[0] + "#2");
        EXPECT_EQ(Found(set, "A|svc"), "A#1");
    }
    // Edited to the texts of an entry added before it, an entry is found only
    // once that one is gone; the earlier one, edited to the later's, wins at once.
    CMonitoredSet set;
    CMonitoredServer* first = set.Add(Entry("A"), Family::Sybase);
    CMonitoredServer* second = set.Add(Entry("B"), Family::Sybase);
    second->SetLogin("bb");
    second->SetServerName("A");
    EXPECT_EQ(Found(set, "A") + Found(set, "B"), "A#0-");
    first->SetServerName("C");
    EXPECT_EQ(Found(set, "A"), "A#2");
    first->SetServerName("A");
    EXPECT_EQ(Found(set, "A"), "A#0");
    set.Remove(first, Family::Sybase);
    EXPECT_EQ(Found(set, "A") + Found(set, "C"), "A#2-");
}

// Equal texts in two families are two entries; a family's calls never reach another's.
TEST(MonitoredSet, KeepsFamiliesApart) {
    CMonitoredSet set;
    CMonitoredServer* oracle = set.Add(Entry("DB"), Family::Oracle);
    set.Add(Entry("DB"), Family::Sybase)->SetLogin("s");
    EXPECT_EQ(Found(set, "DB", Family::Oracle) + Found(set, "DB", Family::Sybase) + Found(set, "DB", Family::MsSql),
              "DB#0DB#1-");
    set.Remove(oracle, Family::Sybase);  // not held under Sybase: nothing happens
    EXPECT_EQ(set.Count(Family::Oracle) + set.Count(Family::Sybase), 2);
    oracle->SetServerName("ORA");
    EXPECT_EQ(Found(set, "ORA", Family::Oracle) + Found(set, "ORA", Family::Sybase) + Found(set, "DB", Family::Sybase),
              "ORA#0-DB#1");
}

// A code outside the set's slots holds nothing; an index outside the family gives null.
TEST(MonitoredSet, ASlotOrIndexOutsideTheSetGivesNothing) {
    CMonitoredSet set;
    set.Add(Entry("DB"), Family::Oracle);
    for (Family outside : {FamilyAtSlot(-1), FamilyAtSlot(FAMILY_SLOTS)}) {
        EXPECT_EQ(set.Add(Entry("DB"), outside), nullptr);
        EXPECT_EQ(Found(set, "DB", outside), "-");
        EXPECT_EQ(set.Count(outside), 0);
        EXPECT_EQ(set.At(0, outside), nullptr);
        set.Remove(set.At(0, Family::Oracle), outside);
    }
    EXPECT_EQ(set.At(-1, Family::Oracle), nullptr);
    EXPECT_EQ(set.At(1, Family::Oracle), nullptr);
    EXPECT_EQ(set.Add(nullptr, Family::Oracle), nullptr);
    EXPECT_EQ(Names(set, Family::Oracle), "DB");
}
