// A property that must hold for every input. It stops the run with a message in
// the replay test and in the fuzzer alike (the fuzzer then keeps the input).
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                                    \
    do                                                                                                                           \
    {                                                                                                                            \
        if (!(condition))                                                                                                        \
        {                                                                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);                                \
            std::abort();                                                                                                        \
        }                                                                                                                        \
    } while (false)
