#pragma once

// Sanitizer settings every fuzz target runs with (included once per target).
//
// A machine with little memory: a single allocation above 32 MiB fails as it would there, so
// the refusals are what gets tested, not the swap. Undefined behaviour stops the run like a
// crash, so that it is kept as a finding.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=32";
}
extern "C" const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}
