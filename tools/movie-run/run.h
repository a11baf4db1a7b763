// movie-run's command line and the run it describes.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace movierun
{
    struct Options
    {
        struct Click
        {
            std::uint64_t at = 0;
            int x = 0;
            int y = 0;
        };
        struct Set
        {
            std::uint64_t at = 0;
            std::string name;
            std::string value;
        };
        struct Outage
        {
            std::uint64_t from = 0;
            std::uint64_t to = 0;
        };

        std::vector<std::string> folders;
        std::string install; // empty: the first folder
        std::string movie;   // empty: the strip
        int width = 680;
        int height = 350;
        std::uint64_t timeMs = 20000;
        std::uint64_t paintEvery = 0;
        bool firstRun = false;
        std::vector<Click> clicks;
        std::vector<Set> sets;
        std::vector<Outage> outages;
    };

    struct Parsed
    {
        std::optional<Options> options; // none: print `message` and exit with `exitCode`
        std::string message;
        int exitCode = 0;
    };

    Parsed ParseArguments(const std::vector<std::string>& args);
    std::string Usage();

    // Plays the run, writing the trace to `out` and problems to `err`; the exit code.
    int Run(const Options& options, std::ostream& out, std::ostream& err);
} // namespace movierun
