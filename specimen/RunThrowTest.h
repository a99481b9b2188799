#pragma once

// Diagnostic mode of the driver: throws and catches a standard exception forever,
// writing one line per pass to standard output. Never returns.
void RunThrowTest();

// Writes "THROWBAD ONE TWO THREE FOUR FIVE " and a line feed to standard output,
// flushes, then always throws std::invalid_argument("Throwing example exception").
void RunThrowTest2();
