// movie-run: plays the ticker's movies against the real host code in the desktop
// simulator and prints what passes between them (movie-run --help).
#include "run.h"

#include <iostream>

int main(int argc, char** argv)
{
    const movierun::Parsed parsed = movierun::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options)
    {
        (parsed.exitCode == 0 ? std::cout : std::cerr) << parsed.message;
        return parsed.exitCode;
    }
    try
    {
        return movierun::Run(*parsed.options, std::cout, std::cerr);
    }
    catch (const std::exception& e)
    {
        std::cerr << "movie-run: " << e.what() << "\n";
        return 1;
    }
}
