/*
 * Lirrand: reads a compiled device description (*.bin) into trees and a text
 * table inside a caller-owned document block, writes it back with every text
 * reduced to English, and frees it. Plain C; the program loads the library
 * with dlopen from <program folder>/Driver/Lirrand.so and binds the three
 * exports by name.
 *
 * Every node, list element, text and the text array belong to the library
 * from Binary_ReadEDD until Binary_DeleteALL. The exports keep module-wide
 * state and are not reentrant: call them from one thread.
 */
#ifndef LIRRAND_H
#define LIRRAND_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define EDD_LIST_COUNT 26

/* One node of a description tree: children keep file order. value is 0 for
 * tags that carry none. */
typedef struct EddNode {
  uint16_t tag;
  uint32_t value;
  struct EddNode *child;   /* first child */
  struct EddNode *sibling; /* next sibling */
} EddNode;

/* One object of an object list. id is the text-table index of the object's
 * name, -1 when it has none. */
typedef struct EddElement {
  int32_t id;
  EddNode *root;
  struct EddElement *next;
} EddElement;

/* The document block. heads[i].next points to the first element of object
 * list i; heads[i].id and heads[i].root stay 0. */
typedef struct EddBlock {
  uint16_t header[4];
  uint32_t counts[EDD_LIST_COUNT];
  EddElement heads[EDD_LIST_COUNT];
  int32_t textCount;
  char **texts;
} EddBlock;

/* Clears the block and reads the file into it. Returns the text count, or 0
 * when the file cannot be opened or is not a valid description (the block is
 * then empty again). */
int32_t Binary_ReadEDD(EddBlock *block, const char *path);

/* Writes the block as a description file with English texts. Returns 0 on
 * success, -1 when the file cannot be created or written. */
int32_t Binary_PrintEDD(EddBlock *block, const char *path);

/* Frees every tree, element and text of the block and empties its lists. */
void Binary_DeleteALL(EddBlock *block);

#ifdef __cplusplus
}
#endif

#endif /* LIRRAND_H */
