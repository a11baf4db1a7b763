/* Keyed hashes for the movie player's Lua (hardening.h). */
#include "hardening.h"

#include <limits.h>
#include <string.h>
#include <time.h>

static unsigned long long secret;
static unsigned long long states;

/* The finaliser of splitmix64: every input bit reaches every output bit. */
static unsigned long long mix(unsigned long long x)
{
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return x;
}

void ticker_lua_set_secret(unsigned long long s)
{
    secret = mix(s ^ 0x9E3779B97F4A7C15ull);
}

static unsigned long long key(void)
{
    if (secret == 0) /* never left unkeyed, even by a caller that forgot */
        ticker_lua_set_secret((unsigned long long)time(NULL) ^ (unsigned long long)(size_t)&secret);
    return secret;
}

unsigned int ticker_lua_makeseed(void)
{
    return (unsigned int)mix(key() + ++states * 0x9E3779B97F4A7C15ull);
}

unsigned long long ticker_lua_hashint(unsigned long long k)
{
    return mix(k ^ key());
}

int ticker_lua_hashfloat(double n)
{
    unsigned long long bits;
    memcpy(&bits, &n, sizeof bits);
    return (int)(mix(bits + key()) & INT_MAX);
}
