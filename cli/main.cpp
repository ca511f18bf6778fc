#include <iostream>

#include "args.h"

int main(int argc, char** argv) { return cli::RunCli(argc, argv, std::cout, std::cerr); }
