// The adapter in this process, for what the built plug-in cannot be made to
// do from outside: change its latency. The host hears of it once, through
// restartComponent, after the call that caused it has returned.
#include <gtest/gtest.h>

#include "vst3/effect_vst3.h"
#include "vst3/host/host_objects.h"

namespace {

using namespace vst3;

TEST(Vst3Adapter, ALatencyChangeIsReportedOnceFromTheUiThread) {
    IEffectVST3* effect = IEffectVST3::Create();
    ASSERT_NE(effect, nullptr);
    void* obj = nullptr;
    ASSERT_EQ(effect->QueryInterface(kIComponentIid.Data(), &obj), kResultOk);
    auto* component = static_cast<IComponent*>(obj);
    ASSERT_EQ(effect->QueryInterface(kIEditControllerIid.Data(), &obj), kResultOk);
    auto* controller = static_cast<IEditController*>(obj);
    effect->Release();  // the creation reference: the two queried ones hold it

    // No handler yet: the change waits, nothing crashes.
    effect->LatencyChanged(64);
    component->setActive(1);
    HostComponentHandler handler;
    controller->setComponentHandler(&handler);
    effect->LatencyChanged(128);
    EXPECT_EQ(handler.Count(HandlerCall::kRestart), 0);  // not from inside the plug-in's own call
    component->setActive(0);
    component->setActive(1);
    ASSERT_EQ(handler.Count(HandlerCall::kRestart), 1);
    EXPECT_EQ(handler.Calls().back().flags, kLatencyChanged);

    controller->setComponentHandler(nullptr);
    controller->release();
    EXPECT_EQ(component->release(), 0u);
}

}  // namespace
