#pragma once
// A count of the console control events the interrupt handler has finished
// with. A reader whose console read was broken off takes the count before
// reading and waits, at most `limit`, until the handler has done its part for
// the event that broke it off.
#include <chrono>

void CountHandledInterrupt();
unsigned HandledInterrupts();
bool WaitForHandledInterrupt(unsigned countBefore, std::chrono::milliseconds limit);
