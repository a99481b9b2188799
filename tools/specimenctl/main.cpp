#include <iostream>

#include "tools/specimenctl/DriverCtl.h"

int main(int argc, char** argv) { return SpecimenCtl::RunDriverCtl(argc, argv, std::cout, std::cerr); }
