// Opening, receiving and closing the streams of all six record types
// through the exported interface.

#include "FacadeFixture.h"

namespace facade_test {
namespace {

struct StreamCase {
    const char* type;        // object type name
    const char* object;      // the object of that type in the fixture's list
    const char* callback;    // which callback must receive it
    plenvar_test::Bytes (*record)(uint64_t timestamp, uint32_t index);
    uint32_t index;          // the record's index field for that object
};

void PrintTo(const StreamCase& c, std::ostream* out) { *out << c.type; }

// The three spike types share one numbering; the others count on their own.
const StreamCase kStreamCases[] = {
    {"SEScAcqEnt", "SE1", "SE", &RecordBytes<Plenvar::SERec>, 0},
    {"STScAcqEnt", "ST1", "ST", &RecordBytes<Plenvar::STRec>, 1},
    {"TTScAcqEnt", "TT1", "TT", &RecordBytes<Plenvar::TTRec>, 2},
    {"CscAcqEnt", "CSC2", "CSC", &RecordBytes<Plenvar::CRRec>, 1},
    {"EventAcqEnt", "Events", "EV", &RecordBytes<Plenvar::EventRec>, 0},
    {"VTAcqEnt", "VT1", "VT", &RecordBytes<Plenvar::VideoRec>, 0},
};

class FacadeStreamTest : public FacadeTest, public ::testing::WithParamInterface<StreamCase> {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        server.SetObjects({{"SE1", "SEScAcqEnt"},
                           {"ST1", "STScAcqEnt"},
                           {"TT1", "TTScAcqEnt"},
                           {"CSC1", "CscAcqEnt"},
                           {"CSC2", "CscAcqEnt"},
                           {"Events", "EventAcqEnt"},
                           {"VT1", "VTAcqEnt"}});
    }

    static std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }
};

TEST_P(FacadeStreamTest, OpenReceiveAndClose) {
    const StreamCase& c = GetParam();
    RecordCollector records;
    records.RegisterAll(*client);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(client->OpenStream(Wide(c.object).c_str()));
    EXPECT_EQ(server.Messages().back(), std::string("-OpenStream ") + c.object + " " + c.type);

    ASSERT_TRUE(server.WaitForDataStream(c.type, 2s));
    ASSERT_TRUE(server.PushData(c.type, c.record(4242, c.index), {7, 100}));
    ASSERT_TRUE(records.WaitFor(1, 2s));
    std::vector<Arrival> arrived = records.Arrivals();
    ASSERT_EQ(arrived.size(), 1u);
    EXPECT_EQ(arrived[0].type, c.callback);
    EXPECT_EQ(arrived[0].object, Wide(c.object));
    EXPECT_EQ(arrived[0].timestamp, 4242u);
    EXPECT_EQ(arrived[0].numRecords, 1);

    EXPECT_TRUE(client->CloseStream(Wide(c.object).c_str()));
    EXPECT_EQ(server.Messages().back(), std::string("-CloseStream ") + c.object + " " + c.type);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, FacadeStreamTest, ::testing::ValuesIn(kStreamCases),
                         [](const auto& info) { return std::string(info.param.callback); });

TEST_F(FacadeStreamTest, ObjectListComesBackInServerOrder) {
    ASSERT_TRUE(Connect());
    std::vector<std::wstring> objects;
    std::vector<std::wstring> types;
    ASSERT_TRUE(client->GetZorlentObjectsAndTypes(objects, types));
    EXPECT_EQ(objects, (std::vector<std::wstring>{L"SE1", L"ST1", L"TT1", L"CSC1", L"CSC2", L"Events", L"VT1"}));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"SEScAcqEnt", L"STScAcqEnt", L"TTScAcqEnt", L"CscAcqEnt",
                                                L"CscAcqEnt", L"EventAcqEnt", L"VTAcqEnt"}));
}

TEST_F(FacadeStreamTest, ObjectListWithBlanksInNamesAndAMismatchedTypeList) {
    server.SetObjects({{"Left Tetrode", "TTScAcqEnt"}, {"CSC1", "CscAcqEnt"}});
    ASSERT_TRUE(Connect());
    std::vector<std::wstring> objects;
    std::vector<std::wstring> types;
    ASSERT_TRUE(client->GetZorlentObjectsAndTypes(objects, types));
    EXPECT_EQ(objects, (std::vector<std::wstring>{L"Left Tetrode", L"CSC1"}));

    // Lists of different lengths are refused as a whole.
    server.SetReply("-GetZorlentTypes", plenvar_test::Reply::Text("0 TTScAcqEnt"));
    EXPECT_FALSE(client->GetZorlentObjectsAndTypes(objects, types));
    EXPECT_TRUE(objects.empty());
}

TEST_F(FacadeStreamTest, CallbacksRegisteredAfterConnectingAndUnknownObjects) {
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(client->OpenStream(L"NoSuchObject"));
    RecordCollector records;
    records.RegisterAll(*client);
    ASSERT_TRUE(client->OpenStream(L"CSC1"));
    ASSERT_TRUE(server.WaitForDataStream("CscAcqEnt", 2s));
    ASSERT_TRUE(server.PushData("CscAcqEnt", RecordBytes<Plenvar::CRRec>(1, 0)));
    ASSERT_TRUE(server.PushData("CscAcqEnt", RecordBytes<Plenvar::CRRec>(2, 0)));
    ASSERT_TRUE(records.WaitFor(2, 2s));
    EXPECT_EQ(records.Arrivals()[1].object, L"CSC1");
}

}  // namespace
}  // namespace facade_test
