#pragma once
// A fresh registry for each test, the engine stand-in behind the default session, and the call
// log that the engine and px3p.dll stand-ins share, so that the order of their calls shows.

#include "TablePasswordRegistry.h"

#include "AnsiText.h"
#include "EngineStandIn.h"
#include "PasswordChecksum.h"
#include "Session.h"

#include <gtest/gtest.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Lines = std::vector<std::string>;

inline const std::string EngineFolder = test_standin::OnDriveZ(ENGINE_STANDIN_DIR);
inline const std::string RecorderFolder = test_standin::OnDriveZ(PX3P_RECORDER_DIR);
inline const std::string Lacking2Folder = test_standin::OnDriveZ(PX3P_LACKING2_DIR);
inline const std::string Lacking3Folder = test_standin::OnDriveZ(PX3P_LACKING3_DIR);

// What left a registration, as a short text: "" for nothing.
inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const tablepass::EPx3PFailure& error) {
        return "px3p answered " + std::to_string(error.Result());
    } catch (const tablepass::EPx3PUnavailable&) {
        return "px3p unavailable";
    } catch (const platform::EDBEngineError& error) {
        return platform::Format("engine $%.4x: ", static_cast<unsigned>(error.ErrorCode())) +
               error.Message();
    } catch (const tablepass::PasswordTooLong&) {
        return "too long";
    }
    return "";
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { tablepass::StartTablePasswordRegistry(); }
    void TearDown() override
    {
        tablepass::EndTablePasswordRegistry();
        platform::Session().Close();
        SetDllDirectoryA(nullptr);
    }

    // The log without the px3p stand-ins' loading and release, which happen once a process.
    Lines Calls() const
    {
        Lines calls;
        for (const std::string& line : log_.Lines())
            if (line.rfind("px3p ", 0) != 0 || line.back() == '"')
                calls.push_back(line);
        return calls;
    }

    // Each table name in list order with the number of its passwords.
    static std::vector<std::pair<std::string, int>> Tables()
    {
        const platform::TStringList& tables = tablepass::TableList();
        std::vector<std::pair<std::string, int>> result;
        for (int i = 0; i < tables.Count(); ++i)
            result.emplace_back(tables[i], tablepass::PasswordListOf(tables, i).Count());
        return result;
    }

    test_standin::EngineKey engine_{EngineFolder};
    test_standin::CallLog log_;
};
