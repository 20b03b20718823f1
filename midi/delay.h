#pragma once

// Waits ms milliseconds while the event loop keeps running (timers, repaints,
// queued slots and user input). It sleeps between events rather than polling,
// and measures against a monotonic clock, so a wait across midnight or a clock
// change lasts its full length. ms <= 0 returns at once without processing
// events. Needs a QCoreApplication; GUI thread only.
void delayMs(int ms);
