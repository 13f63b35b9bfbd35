// The registry's rules over real libraries: the px3p.dll recorder and the engine stand-in,
// one log for both. px3p.dll's loading, which holds for the whole process, is tested apart
// (Px3PLoadingTest.cpp).
#include "RegistryFixture.h"

using tablepass::ComputePasswordChecksum;
using tablepass::RegisterTablePassword;
using test_standin::Environment;

namespace {

// Two passwords with one checksum, found by a search over 8-character passwords.
const std::string SameChecksumA = "izlaaaaa";
const std::string SameChecksumB = "bcccaaaa";

const std::string Unavailable =
    "engine $ffff: Borland Database Engine の初期化中にエラーが発生しました (エラー $ffff)";

struct Registration {
    std::string table;
    std::string password;
    // Set for this registration only.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string error;
};

struct Case {
    const char* name;
    std::vector<Registration> registrations;
    Lines calls;
    std::vector<std::pair<std::string, int>> tables;
    bool noEngine = false;
};

const std::vector<Case> Cases = {
    {"same password twice under one table: the session once, px3p around each",
     {{"T", "pw", {}, ""}, {"T", "pw", {}, ""}},
     {"px3p \"T\"", "DbiInit", "DbiAddPassword pw", "px3p \"\"", "px3p \"T\"", "px3p \"\""},
     {{"", 0}, {"T", 1}}},
    {"same password under two tables: the session twice",
     {{"A", "pw", {}, ""}, {"B", "pw", {}, ""}},
     {"px3p \"A\"", "DbiInit", "DbiAddPassword pw", "px3p \"\"", "px3p \"B\"",
      "DbiAddPassword pw", "px3p \"\""},
     {{"", 0}, {"A", 1}, {"B", 1}}},
    {"two passwords, one checksum: the second stays away from the session",
     {{"T", SameChecksumA, {}, ""}, {"T", SameChecksumB, {}, ""}},
     {"px3p \"T\"", "DbiInit", "DbiAddPassword " + SameChecksumA, "px3p \"\"", "px3p \"T\"",
      "px3p \"\""},
     {{"", 0}, {"T", 1}}},
    {"passwords differing in case are different passwords",
     {{"", "pw", {}, ""}, {"", "PW", {}, ""}, {"", "表示ソ", {}, ""}},
     {"DbiInit", "DbiAddPassword pw", "DbiAddPassword PW", "DbiAddPassword 表示ソ"},
     {{"", 3}}},
    {"an empty password under a new table: the entry only",
     {{"T", "", {}, ""}, {"", "", {}, ""}},
     {},
     {{"", 0}, {"T", 0}}},
    {"table names differing in case are two entries",
     {{"Tbl", "pw", {}, ""}, {"tbl", "pw", {}, ""}, {"Tbl", "pw", {}, ""}},
     {"px3p \"Tbl\"", "DbiInit", "DbiAddPassword pw", "px3p \"\"", "px3p \"tbl\"",
      "DbiAddPassword pw", "px3p \"\"", "px3p \"Tbl\"", "px3p \"\""},
     {{"", 0}, {"Tbl", 1}, {"tbl", 1}}},
    {"the empty name finds the start-up entry and never touches px3p",
     {{"", "k3m8p2r7t4v9x5z", {}, ""}, {"", "k3m8p2r7t4v9x5z", {}, ""}},
     {"DbiInit", "DbiAddPassword k3m8p2r7t4v9x5z"},
     {{"", 1}}},
    {"the opening call fails: nothing registered, no closing call; a retry goes through",
     {{"T", "pw", {{"PX3P_TEST_OPENING", "7"}}, "px3p answered 7"}, {"T", "pw", {}, ""}},
     {"px3p \"T\"", "px3p \"T\"", "DbiInit", "DbiAddPassword pw", "px3p \"\""},
     {{"", 0}, {"T", 1}}},
    {"the closing call fails: the registration stands",
     {{"T", "pw", {{"PX3P_TEST_CLOSING", "-3"}}, "px3p answered -3"}, {"T", "pw", {}, ""}},
     {"px3p \"T\"", "DbiInit", "DbiAddPassword pw", "px3p \"\"", "px3p \"T\"", "px3p \"\""},
     {{"", 0}, {"T", 1}}},
    {"a refused password: the closing call is made, the password is not remembered",
     {{"T", "pw", {{"IDAPI_TEST_PASSWORD", "0x2509"}}, "engine $2509: Borland Database Engine エラー $2509"},
      {"T", "pw", {}, ""}},
     {"px3p \"T\"", "DbiInit", "DbiAddPassword pw", "px3p \"\"", "px3p \"T\"",
      "DbiAddPassword pw", "px3p \"\""},
     {{"", 0}, {"T", 1}}},
    {"the closing call's error wins over the session's",
     {{"T", "pw", {{"IDAPI_TEST_PASSWORD", "0x2509"}, {"PX3P_TEST_CLOSING", "9"}},
       "px3p answered 9"}},
     {"px3p \"T\"", "DbiInit", "DbiAddPassword pw", "px3p \"\""},
     {{"", 0}, {"T", 0}}},
    {"the engine does not start: its error, nothing remembered, tried again next time",
     {{"", "k3m8p2r7t4v9x5z", {{"IDAPI_TEST_INIT", "0x2c08"}},
       "engine $2c08: Borland Database Engine の初期化中にエラーが発生しました (エラー $2c08)"},
      {"", "k3m8p2r7t4v9x5z", {}, ""}},
     {"DbiInit", "DbiInit", "DbiAddPassword k3m8p2r7t4v9x5z"},
     {{"", 1}}},
    {"no engine at all: the fixed code",
     {{"", "k3m8p2r7t4v9x5z", {}, Unavailable}, {"T", "k3m8p2r7t4v9x5z", {}, Unavailable}},
     {"px3p \"T\"", "px3p \"\""},
     {{"", 0}, {"T", 0}},
     true},
    {"a password too long for the checksum: refused, the closing call still made",
     {{"T", std::string(257, 'x'), {}, "too long"}},
     {"px3p \"T\"", "px3p \"\""},
     {{"", 0}, {"T", 0}}},
};

}  // namespace

TEST_F(RegistryTest, Cases)
{
    SetDllDirectoryA(RecorderFolder.c_str());
    for (const Case& row : Cases) {
        SCOPED_TRACE(row.name);
        tablepass::StartTablePasswordRegistry();
        platform::Session().Close();
        log_.Clear();
        {
            const test_standin::EngineKey none(row.noEngine ? "" : EngineFolder);
            for (const Registration& registration : row.registrations) {
                std::vector<std::unique_ptr<Environment>> environment;
                for (const auto& [name, value] : registration.environment)
                    environment.push_back(std::make_unique<Environment>(name, value));
                EXPECT_EQ(ErrorOf([&] {
                              RegisterTablePassword(registration.table, registration.password);
                          }),
                          registration.error)
                    << registration.table << "/" << registration.password;
            }
            EXPECT_EQ(Calls(), row.calls);
            EXPECT_EQ(Tables(), row.tables);
            platform::Session().Close();
        }
    }
}

TEST_F(RegistryTest, TheEqualChecksumCaseUsesTwoTextsWithOneChecksum)
{
    EXPECT_NE(SameChecksumA, SameChecksumB);
    EXPECT_EQ(ComputePasswordChecksum(SameChecksumA), ComputePasswordChecksum(SameChecksumB));
}

TEST_F(RegistryTest, PasswordListsHoldTheTextAndItsChecksum)
{
    RegisterTablePassword("", "k3m8p2r7t4v9x5z");
    const platform::TStringList& passwords = tablepass::PasswordListOf(tablepass::TableList(), 0);
    ASSERT_EQ(passwords.Count(), 1);
    EXPECT_EQ(passwords[0], "k3m8p2r7t4v9x5z");
    EXPECT_EQ(passwords.Value(0), ComputePasswordChecksum("k3m8p2r7t4v9x5z"));
}

TEST_F(RegistryTest, AStartedRegistryHoldsTheEmptyNameAndNoOrphans)
{
    EXPECT_EQ(Tables(), (std::vector<std::pair<std::string, int>>{{"", 0}}));
    EXPECT_EQ(tablepass::PendingOrphans().Count(), 0);
}

namespace {

// Records the order in which it is freed.
class Orphan : public platform::TObject {
public:
    Orphan(std::vector<int>& freed, int number) : freed_(freed), number_(number) {}
    ~Orphan() override { freed_.push_back(number_); }

private:
    std::vector<int>& freed_;
    int number_;
};

}  // namespace

TEST_F(RegistryTest, PendingOrphansFreeTheirItemsInIndexOrder)
{
    std::vector<int> freed;
    {
        tablepass::TPendingOrphans orphans;
        for (int i = 0; i < 5; ++i)
            orphans.Add(new Orphan(freed, i));
    }
    EXPECT_EQ(freed, (std::vector<int>{0, 1, 2, 3, 4}));

    // The registry's own instance goes at the registry's end.
    freed.clear();
    for (int i = 0; i < 3; ++i)
        tablepass::PendingOrphans().Add(new Orphan(freed, i));
    tablepass::EndTablePasswordRegistry();
    EXPECT_EQ(freed, (std::vector<int>{0, 1, 2}));
}

TEST_F(RegistryTest, NothingIsRegisteredBeforeTheStartOrAfterTheEnd)
{
    tablepass::EndTablePasswordRegistry();
    EXPECT_THROW(RegisterTablePassword("", "pw"), platform::Exception);
    EXPECT_TRUE(Calls().empty());
}
