// A simulated desktop with an application object on it.
#pragma once

#include "forms/application.h"
#include "os/sim/desktop.h"

#include <gtest/gtest.h>

namespace testing_support
{
    class FormsFixture : public ::testing::Test
    {
      protected:
        os::sim::Desktop desktop;
        forms::Application app{ desktop.Os() };
    };
} // namespace testing_support
