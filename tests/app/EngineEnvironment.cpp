// The tool looks the database engine up the normal way, through the engine's DLLPATH value:
// for the whole end-to-end run that value names the engine stand-in, so that start-up hands
// over its password without an error box. Scenarios about the engine set the value themselves.
#include "EngineStandIn.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class EngineForTheTool : public testing::Environment {
public:
    void SetUp() override
    {
        key_ = std::make_unique<test_standin::EngineKey>(
            test_standin::OnDriveZ(ENGINE_STANDIN_DIR));
    }
    void TearDown() override { key_.reset(); }

private:
    std::unique_ptr<test_standin::EngineKey> key_;
};

[[maybe_unused]] testing::Environment* const engine =
    testing::AddGlobalTestEnvironment(new EngineForTheTool);

}  // namespace
