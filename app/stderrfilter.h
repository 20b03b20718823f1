#pragma once
// Standard error through app/repeatedlines.h: the process's descriptor 2
// becomes a pipe to a small process of its own that writes to the real
// standard error. A process, not a thread, so that nothing written is lost
// when this one ends abruptly (a sanitizer's report, a crash): the filter
// reads to the end of the pipe, then ends. Call once, early in main.

namespace StderrFilter {

// False, with standard error left as it was, when the filter cannot start.
bool install();

}  // namespace StderrFilter
