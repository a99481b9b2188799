#include "specimen/RunThrowTest.h"

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

void RunThrowTest() {
  for (unsigned long count = 1;; ++count) {
    std::cout << "count=" << count << " ";
    try {
      RunThrowTest2();
    } catch (...) {
      // The point of the test is that throwing and catching keeps working; the
      // exception itself carries nothing to report.
    }
  }
}

void RunThrowTest2() {
  const std::vector<std::string> words = {"THROWBAD", "ONE", "TWO", "THREE", "FOUR", "FIVE"};
  for (const std::string& word : words) {
    std::cout << word << " ";
  }
  std::cout << "\n" << std::flush;
  throw std::invalid_argument("Throwing example exception");
}
