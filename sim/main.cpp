#include <iostream>

#include "sim/SimCli.h"

int main(int argc, char** argv) { return quorvane::sim::RunSimCli(argc, argv, std::cout, std::cerr); }
