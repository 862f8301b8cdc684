// Found first on the game layers' include path: the game never uses libpng.
#error "the game layers must not include <png.h>: only the platform layer talks to libpng"
