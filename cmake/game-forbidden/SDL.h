// Found first on the game layers' include path: the game never uses SDL2.
#error "the game layers must not include <SDL.h>: only the platform layer talks to SDL2"
