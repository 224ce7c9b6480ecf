#pragma once

#include <string>
#include <vector>

// Starts a program and waits for it, for the benchmarks that time or weigh a whole process.
namespace Spawn {

struct Outcome
{
    int exitCode = -1;
    double seconds = 0; // wall time from the start to the end of the process
    std::string output; // what it wrote to standard output
};

// Runs `program` with `arguments`, its environment being ours plus `extraEnvironment`
// ("NAME=value" each).
Outcome run(const std::string& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& extraEnvironment = {});

// The folder of the running benchmark program, where every program of the build lies.
std::string binFolder();

} // namespace Spawn
