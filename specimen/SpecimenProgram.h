#pragma once

// The driver program: with the first argument "RUNTHROWTEST" (any case) runs the
// exception self-test forever; otherwise loads "Specimen-config.xml" from the working
// directory, serves the sensor driver until it is asked to shut down and returns 0.
// A CORBA or standard exception from start-up, serving or tear-down is written as one
// line on standard error and gives 1. `argv` goes to the ORB, which may consume its
// own options.
int RunSpecimenProgram(int argc, char** argv);
