// Trace back of the latest throw, for the exception dialog.
#pragma once
#include <string>
#include <vector>

// While enabled, every throw on this thread remembers the call stack it came from.
void EnableThrowTraces(bool enable);
// The remembered stack, one frame per line (function and offset when known, module and
// offset); empty when none. Forgets it.
std::string TakeThrowTrace();
// The trace of a processor fault taken in the signal handler (its first frame is the
// faulting instruction), in the same form; empty when there is none.
std::string DescribeFaultTrace(const std::vector<void*>& frames);
