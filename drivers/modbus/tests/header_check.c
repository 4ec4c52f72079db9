/* The public header must compile as plain C with the types it promises. */
#include "ostrelle.h"

typedef int32_t (*OpenFunction)(int32_t, int32_t, uint8_t, uint8_t, uint8_t, uint8_t, int32_t);
typedef uint8_t (*ReadFunction)(uint8_t, uint8_t, uint16_t, uint16_t, uint8_t*, uint8_t*);
typedef uint8_t (*WriteFunction)(uint8_t, uint8_t, uint16_t, const uint8_t*, uint8_t);

_Static_assert(OSTRELLE_NO_RESPONSE == 25, "status codes are fixed");

int ostrelleHeaderIsPlainC(void) {
  OpenFunction open = 0;
  ReadFunction read = 0;
  WriteFunction write = 0;
  (void)open;
  (void)read;
  (void)write;
  return OSTRELLE_OK;
}
