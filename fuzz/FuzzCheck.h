// What every fuzz target shares: a property check that stops the run so
// that libFuzzer keeps the input that broke it.
#pragma once
#include <stdio.h>
#include <stdlib.h>

#define FUZZ_REQUIRE(condition, what)                                               \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "property broken: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            abort();                                                                \
        }                                                                           \
    } while (0)
