// Object-list files and the index numbering the records carry.

#include "simulator/ObjectCatalog.h"

#include <gtest/gtest.h>

namespace {

TEST(ObjectCatalogTest, NumbersSpikeObjectsTogetherAndCscAndVideoApart) {
    sim::ObjectCatalog catalog;
    std::string error;
    ASSERT_TRUE(sim::ObjectCatalog::Parse("# rig 3\n"
                                          "CSC-A CscAcqEnt\n"
                                          "\n"
                                          "\"tt one\" TTScAcqEnt   # quoted name with a blank\n"
                                          "Cam VTAcqEnt\n"
                                          "se SEScAcqEnt\r\n"
                                          "CSC-B CscAcqEnt\n"
                                          "Cam2 VTAcqEnt\n"
                                          "Ev EventAcqEnt\n",
                                          catalog, error))
        << error;
    std::vector<uint32_t> indexes;
    for (const sim::CatalogObject& object : catalog.Objects()) {
        indexes.push_back(object.index);
    }
    EXPECT_EQ(indexes, (std::vector<uint32_t>{0, 0, 0, 1, 1, 1, 0}));
    EXPECT_EQ(catalog.NamesReply(), "0 CSC-A \"tt one\" Cam se CSC-B Cam2 Ev");
    EXPECT_EQ(catalog.TypesReply(), "0 CscAcqEnt TTScAcqEnt VTAcqEnt SEScAcqEnt CscAcqEnt VTAcqEnt EventAcqEnt");
    EXPECT_EQ(catalog.Find("tt one"), 1);
}

TEST(ObjectCatalogTest, RefusesBadListsAndKeepsTheOldOne) {
    struct Case {
        const char* text;
        const char* line;  // named in the reason
    };
    const Case cases[] = {
        {"A CscAcqEnt\nA CscAcqEnt\n", "line 2"},  // repeated name
        {"A cscacqent\n", "line 1"},               // type names are case-sensitive
        {"A CscAcqEnt\ntt one TTScAcqEnt\n", "line 2"},  // a name with blanks must be quoted
        {"A\n", "line 1"},
        {"# only a comment\n", "empty"},
        {"", "empty"},
    };
    for (const Case& c : cases) {
        sim::ObjectCatalog catalog = sim::ObjectCatalog::Default();
        std::string error;
        EXPECT_FALSE(sim::ObjectCatalog::Parse(c.text, catalog, error)) << c.text;
        EXPECT_NE(error.find(c.line), std::string::npos) << error;
        EXPECT_EQ(catalog.Size(), 25u);
    }
    sim::ObjectCatalog catalog;
    std::string error;
    EXPECT_FALSE(sim::ObjectCatalog::LoadFile("/nonexistent/objects.txt", catalog, error));
}

}  // namespace
