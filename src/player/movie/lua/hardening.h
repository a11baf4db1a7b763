/* Included before every source file of the movie player's Lua (cmake/Lua.cmake).
   A movie chooses the keys of its tables; with Lua's own hashes it can choose
   integers or floats that all fall in one slot, or guess the string seed, and turn
   each insertion into a walk of the whole chain, inside one VM instruction that no
   budget sees. These hashes are keyed with a secret drawn once per process. */
#ifndef TICKER_LUA_HARDENING_H
#define TICKER_LUA_HARDENING_H

#ifdef __cplusplus
extern "C"
{
#endif

    /* Sets the process's secret; called once, before the first Lua state is made. */
    void ticker_lua_set_secret(unsigned long long secret);
    /* The seed of a new state's string hashes. */
    unsigned int ticker_lua_makeseed(void);
    /* Keyed hashes of an integer key and of a float key that is not an integer. */
    unsigned long long ticker_lua_hashint(unsigned long long key);
    int ticker_lua_hashfloat(double key);

#ifdef __cplusplus
}
#endif

#define luai_makeseed(L) ticker_lua_makeseed()
#define l_hashfloat(n) ticker_lua_hashfloat(n)

#endif
