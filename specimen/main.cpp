#include "specimen/SpecimenProgram.h"

int main(int argc, char** argv) { return RunSpecimenProgram(argc, argv); }
