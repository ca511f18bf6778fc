// Running another program of the system and waiting for it.
#pragma once

#include <string>
#include <vector>

namespace plat {

// Runs the program (looked up in PATH when it has no "/") with the arguments, its output
// discarded, and waits for it. Its exit status, or -1 when it could not be started or
// did not end normally.
int RunProgram(const std::vector<std::string>& argv);

// How many threads a drawing may use: ZARVEL_THREADS when it holds a number from 1 to 64
// (to measure or compare drawings on fewer processors), else the machine's processors,
// at most 64.
int DrawThreads();
// What is wrong with ZARVEL_THREADS when it is set to anything but a decimal number from
// 1 to 64 (the programs refuse to start then); empty when it is unset, empty or right.
std::string DrawThreadsProblem();

}  // namespace plat
