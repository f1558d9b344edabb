// Shared by the controls' tests: a fixed reduced-motion answer for a test.
#pragma once

#include <ZorCompCore/controls/ReducedMotion.h>

#include "TestUtil.h"

#include <optional>

// Sets ZOR_REDUCED_MOTION for the scope and makes the watcher read it at once.
class ScopedReducedMotion
{
public:
    explicit ScopedReducedMotion(bool AReduced)
    {
        FEnv.emplace("ZOR_REDUCED_MOTION", AReduced ? "1" : "0");
        zor::TReducedMotion::Instance()->Refresh();
    }
    ~ScopedReducedMotion()
    {
        FEnv.reset();
        zor::TReducedMotion::Instance()->Refresh();
    }

private:
    std::optional<ScopedEnv> FEnv;
};
