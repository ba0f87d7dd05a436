// The family table: every family described once, completely, and found
// again by each of its names.
#include "generate/FamilyTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

// Rows in code order, each complete; no name, prefix or product code shared
// between two families. Their include files, exit codes and products are
// checked where they are used: the generation tests and the golden files.
TEST(FamilyTable, EveryRowIsCompleteAndItsOwn) {
    std::set<std::string> names, prefixes, products;
    int slot = 0;
    for (const FamilyRow& row : FamilyRows()) {
        SCOPED_TRACE(row.keyword ? row.keyword : "(no keyword)");
        EXPECT_EQ(++slot, SlotOf(row.family));
        EXPECT_EQ(&row, FamilyRowOf(row.family));
        for (const char* text : {row.keyword, row.title, row.include_file, row.batch_prefix, row.agent_prefix,
                                 row.product, row.header, row.description, row.service_key})
            EXPECT_TRUE(text != nullptr && *text != '\0');
        EXPECT_TRUE(row.discover != nullptr && row.batch != nullptr && row.agent != nullptr);
        EXPECT_TRUE(products.insert(row.product).second);
        EXPECT_TRUE(prefixes.insert(row.batch_prefix).second);
        EXPECT_TRUE(prefixes.insert(row.agent_prefix).second);
        EXPECT_TRUE(names.insert(row.keyword).second);
        EXPECT_STREQ(row.title, FamilyTitle(row.family));
        for (const char* keyword : row.products) {
            ASSERT_NE(nullptr, keyword);
            EXPECT_EQ(row.family, FamilyOfProduct(keyword)) << keyword;
            EXPECT_TRUE(keyword == std::string(row.keyword) || names.insert(keyword).second) << keyword;
        }
    }
    for (Family none : {Family::None, Family::New, FamilyAtSlot(FAMILY_SLOTS - 1)}) {
        EXPECT_EQ(nullptr, FamilyRowOf(none));
        EXPECT_EQ(nullptr, FamilyTitle(none));
    }
}

// The keywords a host installer names a family by, matched whole and in lower case.
TEST(FamilyTable, ProductKeywordsNameTheirFamily) {
    const std::pair<const char*, int> KEYWORDS[] = {{"ora", 1}, {"oracle", 1}, {"tuo", 1}, {"syb", 2}, {"sybase", 2},
        {"tus", 2}, {"sql", 3}, {"tum", 3}, {"mssql", 3}, {"informix", 4}, {"tui", 4}, {"ifx", 4}, {"or", 0},
        {"orac", 0}, {"oracle9", 0}, {"ORA", 0}, {"", 0}, {nullptr, 0}};
    for (const auto& [keyword, family] : KEYWORDS)
        EXPECT_EQ(family, SlotOf(FamilyOfProduct(keyword))) << (keyword ? keyword : "(null)");
}
