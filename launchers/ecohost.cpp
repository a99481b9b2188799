// ecohost: starts the ECO sensor program of the sensor library and hands it the whole
// command line, program name included. Its result is the exit status.

#include <iostream>

#include "platform/marisk/EcoSensorProgram.h"

int main(int argc, char** argv) {
  std::cout << "main calling EcoSensorProgram" << std::endl;
  return EcoSensorProgram(argc, argv);
}
