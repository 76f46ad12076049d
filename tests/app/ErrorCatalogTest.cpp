#include "app/ErrorCatalog.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(ErrorCatalog, ShippedCatalogHasEveryIdTheProgramRaises) {
    CTempHome home({.processDir = true}); // the catalogue is the process's
    const int ids[] = {1000, 1001, 1002, 1003, 1004, 1005, 1101, 1102, 1104, 1106, 1107, 2001,
                       3001, 4000, 4001, 4002, 5001, 6000, 6001, 6006, 7000, 7001, 8000, 8001};
    for (int id : ids) {
        ErrorEntry entry;
        ASSERT_TRUE(CErrorCatalog::Lookup(id, entry)) << id;
        EXPECT_FALSE(entry.summary.empty()) << id;
        EXPECT_FALSE(entry.description.empty()) << id;
    }
    ErrorEntry network;
    ASSERT_TRUE(CErrorCatalog::Lookup(3001, network));
    EXPECT_EQ(network.place, 2);
    ErrorEntry fault;
    ASSERT_TRUE(CErrorCatalog::Lookup(4000, fault));
    EXPECT_EQ(fault.summary, "服务器返回的提示信息");
    EXPECT_EQ(fault.place, 1);
}

TEST(ErrorCatalog, AnUnknownIdAnEntryWithoutPlaceOrAMissingFileFindNothing) {
    CTempHome home({.processDir = true});
    WriteAll(home.File("ErrorMsg.xml"),
             "<error><msg id=\"9\"><summary>s</summary><description>d</description>"
             "<pos>server</pos></msg><msg id=\"10\"><summary>only</summary></msg></error>");
    ErrorEntry entry;
    // A place that is not a number reads as 0.
    ASSERT_TRUE(CErrorCatalog::Lookup(9, entry));
    EXPECT_EQ(entry.place, 0);
    EXPECT_EQ(entry.summary, "s");
    EXPECT_FALSE(CErrorCatalog::Lookup(10, entry));
    EXPECT_FALSE(CErrorCatalog::Lookup(424242, entry));
    EXPECT_TRUE(entry.summary.empty()) << "a failed lookup leaves no stale text";
    RemoveTree(home.File("ErrorMsg.xml"));
    EXPECT_FALSE(CErrorCatalog::Lookup(9, entry));
}
