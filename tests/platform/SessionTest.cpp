// The database session against real libraries: the engine stand-in found through the engine's
// DLLPATH value in the test prefix, and no engine at all.
#include "Session.h"

#include "EngineStandIn.h"

#include <gtest/gtest.h>

#include <vector>

using platform::DBIResult;
using platform::EDBEngineError;
using platform::TSession;
using test_standin::CallLog;
using test_standin::EngineKey;
using test_standin::Environment;
using test_standin::OnDriveZ;
using Lines = std::vector<std::string>;

namespace {

const std::string StandIn = OnDriveZ(ENGINE_STANDIN_DIR);
const std::string Incomplete = OnDriveZ(ENGINE_INCOMPLETE_DIR);

std::string StartupMessage(const char* code)
{
    return std::string("Borland Database Engine の初期化中にエラーが発生しました (エラー $") +
           code + ")";
}

// The engine's start-up failure, with its message and code.
void ExpectStartupError(TSession& session, DBIResult code, const char* hex)
{
    try {
        session.AddPassword("secret");
        ADD_FAILURE() << "no error";
    } catch (const EDBEngineError& error) {
        EXPECT_EQ(error.ErrorCode(), code);
        EXPECT_EQ(error.Message(), StartupMessage(hex));
    }
    EXPECT_FALSE(session.Active());
    // Nothing started stays loaded, so the next use starts from the beginning.
    EXPECT_EQ(GetModuleHandleA("idapi32.dll"), nullptr);
}

}  // namespace

TEST(Session, TheDefaultSessionIsNamedDefaultAndNotStarted)
{
    EXPECT_EQ(platform::Session().SessionName(), "Default");
    EXPECT_FALSE(platform::Session().Active());
    EXPECT_EQ(&platform::Session(), &platform::Session());
}

TEST(Session, FirstPasswordStartsTheEngineOnceAndCloseStopsIt)
{
    const EngineKey key(StandIn);
    const CallLog log;
    {
        TSession session("Test");
        session.AddPassword("k3m8p2r7t4v9x5z");
        EXPECT_TRUE(session.Active());
        session.AddPassword("表示ソ");
        session.AddPassword(std::string(300, 'x'));
        EXPECT_EQ(log.Lines(), (Lines{"DbiInit", "DbiAddPassword k3m8p2r7t4v9x5z",
                                      "DbiAddPassword 表示ソ",
                                      "DbiAddPassword " + std::string(255, 'x')}));
        session.Close();
        EXPECT_FALSE(session.Active());
        EXPECT_EQ(GetModuleHandleA("idapi32.dll"), nullptr);
        session.Close();
    }
    EXPECT_EQ(log.Lines().size(), 5u);
    EXPECT_EQ(log.Lines().back(), "DbiExit");
}

TEST(Session, DestroyingAnOpenSessionStopsTheEngine)
{
    const EngineKey key(StandIn);
    const CallLog log;
    {
        TSession session("Test");
        session.Open();
    }
    EXPECT_EQ(log.Lines(), (Lines{"DbiInit", "DbiExit"}));
}

TEST(Session, TheFirstFolderOfDllPathThatHoldsTheLibraryServes)
{
    const testing_support::TempFolder empty;
    const EngineKey key(empty.Path() + ";;" + StandIn);
    const CallLog log;
    TSession session("Test");
    session.AddPassword("a");
    EXPECT_EQ(log.Lines(), (Lines{"DbiInit", "DbiAddPassword a"}));
}

TEST(Session, EngineStartFailuresCarryTheirCode)
{
    const CallLog log;
    TSession session("Test");
    {
        // No value, and no library in the search order.
        const EngineKey none("");
        ExpectStartupError(session, platform::EngineLibraryMissing, "ffff");
    }
    {
        const testing_support::TempFolder empty;
        const EngineKey elsewhere(empty.Path());
        ExpectStartupError(session, platform::EngineLibraryMissing, "ffff");
    }
    {
        const EngineKey incomplete(Incomplete);
        ExpectStartupError(session, platform::EngineLibraryMissing, "ffff");
    }
    EXPECT_TRUE(log.Lines().empty());
    {
        const EngineKey key(StandIn);
        const Environment refuse("IDAPI_TEST_INIT", "0x2c08");
        ExpectStartupError(session, 0x2c08, "2c08");
        ExpectStartupError(session, 0x2c08, "2c08");
    }
    EXPECT_EQ(log.Lines(), (Lines{"DbiInit", "DbiInit"}));
}

TEST(Session, ARefusedPasswordRaisesTheEngineErrorAndTheSessionStaysOpen)
{
    const EngineKey key(StandIn);
    const CallLog log;
    TSession session("Test");
    {
        const Environment refuse("IDAPI_TEST_PASSWORD", "0x2509");
        try {
            session.AddPassword("wrong");
            ADD_FAILURE() << "no error";
        } catch (const EDBEngineError& error) {
            EXPECT_EQ(error.ErrorCode(), 0x2509);
            EXPECT_NE(error.Message().find("2509"), std::string::npos) << error.Message();
        }
    }
    EXPECT_TRUE(session.Active());
    session.AddPassword("right");
    EXPECT_EQ(log.Lines(), (Lines{"DbiInit", "DbiAddPassword wrong", "DbiAddPassword right"}));
}
