// The program's resources (pictures), for the simulator.
#pragma once

#include "os/sim/process.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support
{
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> ProgramResourceData();

    inline void AddProgramResources(os::sim::SimProcess& process)
    {
        for (auto& [name, data] : ProgramResourceData())
            process.AddResource(name, std::move(data));
    }
} // namespace testing_support
