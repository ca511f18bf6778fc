#include <iostream>

#include "args.h"
#include "largepages.h"

int main(int argc, char** argv) {
    // Commands live a short while and fill much memory at once.
    plat::GrowHeapInLargePages();
    return cli::RunCli(argc, argv, std::cout, std::cerr);
}
