/* The public header compiles as plain C, and its declarations are the ones
 * the program binds. */
#include "kelvane.h"

typedef uint8_t (*ReadFunction)(uint8_t, uint8_t, uint8_t, uint8_t, uint8_t *, uint8_t *);
static ReadFunction const kRead = C3Read;

int kelvane_c_header_check(void) { return kRead != 0 && KELVANE_MAX_REPLY_DATA == 239; }
