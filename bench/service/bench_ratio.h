#pragma once

#include <string>
#include <vector>

// Runs the registered benchmarks and then prints, for each pair, the ratio of
// the first benchmark's real time to the second's and whether it meets `goal`.
struct RatioPair {
    std::string measured;
    std::string floor;
    double goal;
};

int RunWithRatios(int argc, char** argv, const std::vector<RatioPair>& pairs);
