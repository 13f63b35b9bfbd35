#include "Errors.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace platform;

TEST(DbcsErrors, MessagesAreTheSystemsTexts)
{
    ASSERT_EQ(GetACP(), 932u);
    EXPECT_EQ(EIntfCastError().Message(), "Interface はサポートされていません");
    EXPECT_STREQ(EIntfCastError().what(), "Interface はサポートされていません");
}

TEST(Errors, ComErrorCarriesTheCodeAndTheSystemText)
{
    // A Win32 failure wrapped in an HRESULT reads as the Win32 error's text.
    const EOleSysError error(E_ACCESSDENIED);
    EXPECT_EQ(error.ErrorCode(), E_ACCESSDENIED);
    EXPECT_EQ(error.Message(), SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(error.Message().empty());
    EXPECT_NE(error.Message().back(), '\n');

    // A code the system has no text for still names itself.
    const EOleSysError unknown(static_cast<HRESULT>(0xA0001234));
    EXPECT_NE(unknown.Message().find("A0001234"), std::string::npos) << unknown.Message();

    EXPECT_NO_THROW(OleCheck(S_OK));
    EXPECT_NO_THROW(OleCheck(S_FALSE));
    try {
        OleCheck(E_ACCESSDENIED);
        FAIL() << "no error";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), E_ACCESSDENIED);
    }
}
