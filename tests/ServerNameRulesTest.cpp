// Server names as Windows file names: the refused names with their reasons,
// and the names Windows would not tell apart.
#include "discovery/ServerNameRules.h"
#include "discovery/ServerRecord.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavdiscovery;

namespace {

struct NameCase {
    std::string name;
    const char* reason;  // a part of the refusal; null: accepted
};

const NameCase NAMES[] = {
    {"ORCL", nullptr},
    {"GRP\\SYB15", nullptr},
    {"x..y", nullptr},
    {" OLD", nullptr},
    {"caf\xE9", nullptr},
    {"COM10", nullptr},
    {"CONSOLE", nullptr},
    {"NUL_X", nullptr},
    {"", "empty"},
    {"A\r\nB", "control character"},
    {"tab\there", "control character"},
    {"del\x7F", "control character"},
    {std::string(4001, 'n'), "longer than 4000"},
    {"a<b", "'<'"},
    {"a>b", "'>'"},
    {"d:x", "':'"},
    {"C:\\x", "':'"},
    {"a\"b", "'\"'"},
    {"/abs", "'/'"},
    {"ok/../../x", "'/'"},
    {"a|b", "'|'"},
    {"??", "'?'"},
    {"a*", "'*'"},
    {"100%", "'%'"},
    {"a^b", "'^'"},
    {"sa&calc", "'&'"},
    {"bad\x81", "ANSI code page lacks"},
    {"\\abs", "empty"},
    {"a\\\\b", "empty"},
    {"a\\", "empty"},
    {"..\\x", "\"..\""},
    {"x\\..", "\"..\""},
    {".", "\".\""},
    {"sub\\.\\x", "\".\""},
    {"ORCL.", "dot or a blank"},
    {"d.\\S", "dot or a blank"},
    {"S ", "dot or a blank"},
    {"CON", "device name"},
    {"con.txt", "device name"},
    {"GRP\\Nul", "device name"},
    {"aux", "device name"},
    {"PRN.x.y", "device name"},
    {"COM1", "device name"},
    {"lpt9.log", "device name"},
};

}  // namespace

TEST(ServerNameRules, RefusedNamesWithTheirReasons) {
    for (const NameCase& row : NAMES) {
        SCOPED_TRACE(row.name.substr(0, 40));
        const std::string why = NameRefusal(row.name);
        if (!row.reason)
            EXPECT_EQ(why, "");
        else
            EXPECT_NE(why.find(row.reason), std::string::npos) << why;
    }
}

// Names that Windows takes for the same file: case, trailing dots and blanks of
// each part, letters of the ANSI code page; and names it keeps apart.
TEST(ServerNameRules, CollisionsAsWindowsComparesFileNames) {
    const struct {
        std::vector<std::string> names;
        int first, second;  // -1: no collision
    } ROWS[] = {
        {{"ORCL", "orcl"}, 0, 1},
        {{"d\\S", "SALES", "d.\\S"}, 0, 2},
        {{"a \\b", "A\\B.."}, 0, 1},
        {{"caf\xE9", "CAF\xC9"}, 0, 1},
        {{"\x9A", "\x8A"}, 0, 1},  // s and S with caron
        {{"??", "??"}, 0, 1},
        {{"A", "B", "b"}, 1, 2},
        {{"ORCL", "ORCL2", "GRP\\ORCL", "GRPORCL"}, -1, -1},
        {{"ab\\c", "a\\bc"}, -1, -1},
        {{"x..y", "x.y"}, -1, -1},
    };
    for (const auto& row : ROWS) {
        SCOPED_TRACE(row.names.front() + " ... " + row.names.back());
        const auto collision = FindNameCollision(row.names);
        if (row.first < 0) {
            EXPECT_FALSE(collision.has_value());
            continue;
        }
        ASSERT_TRUE(collision.has_value());
        EXPECT_EQ(collision->first, static_cast<size_t>(row.first));
        EXPECT_EQ(collision->second, static_cast<size_t>(row.second));
    }
}

// The cluster server name reaches the files but no dialog shows it: a server
// whose cluster name fails the value policy cannot be monitored.
TEST(ServerNameRules, AServerIsRefusedForItsNameOrItsClusterName) {
    CMsSqlServer server;
    server.SetServerName("SALES");
    server.SetClusterServer("SQLVS1");
    EXPECT_EQ(ServerRefusal(server), "");
    server.SetClusterServer("SQLVS1\r\nSTART calc");
    EXPECT_EQ(ServerRefusal(server), "the cluster server name: it holds a control character");
    server.SetServerName("SALES:1");
    EXPECT_EQ(ServerRefusal(server), "the name holds ':', which a file name cannot hold");
}
