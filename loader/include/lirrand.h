/*
 * Lirrand: reads a compiled device description (*.bin) into trees and a text
 * table inside a caller-owned document block, writes it back with every text
 * reduced to English, and frees it. Plain C; the program loads the library
 * with dlopen from <program folder>/Driver/Lirrand.so and binds the three
 * exports by name.
 *
 * Every node, list element, text and the text array belong to the library
 * from Binary_ReadEDD until Binary_DeleteALL: a read takes them from a few
 * large blocks of memory, which Binary_DeleteALL releases whole, so callers
 * never free or realloc them one by one. What a caller links into a block
 * itself stays the caller's to free. The exports keep module-wide state and
 * are not reentrant: call them from one thread.
 *
 * Description files come from outside. A file that ends inside a tree or a
 * text, a text of 10,240 bytes or more, a root tag that names no object kind
 * (reported on standard output as "Don't exist the object tag!"), a tree
 * deeper than 10,000 levels or a failed allocation ends the read at once:
 * everything read so far is freed, the block is all zero again and the result
 * is 0, as for a file that cannot be opened.
 */
#ifndef LIRRAND_H
#define LIRRAND_H

#include <stdint.h>

#if defined(__GNUC__)
#define LIRRAND_EXPORT __attribute__((visibility("default")))
#else
#define LIRRAND_EXPORT
#endif

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
 * list i; heads[i].id and heads[i].root stay 0. counts[i] is the number of
 * trees the file declared for list i. */
typedef struct EddBlock {
  uint16_t header[4];
  uint32_t counts[EDD_LIST_COUNT];
  EddElement heads[EDD_LIST_COUNT];
  int32_t textCount;
  char **texts;
} EddBlock;

/* Clears the block and reads the file into it. Returns the text count (a
 * negative count in the file reads as no texts, 0), or 0 when the file cannot
 * be opened or is not a valid description (the block is then all zero).
 * Never frees what the block held before: call Binary_DeleteALL first. */
LIRRAND_EXPORT int32_t Binary_ReadEDD(EddBlock *block, const char *path);

/* Writes the block as a description file with English texts: every element
 * that has a root is written and counted, whatever its id, so the counts
 * written always match the trees. Returns 0 on success, -1 when the file
 * cannot be created or written. */
LIRRAND_EXPORT int32_t Binary_PrintEDD(EddBlock *block, const char *path);

/* Frees every tree, element and text of the block, empties its lists and its
 * text table (textCount 0, texts NULL). Header words and counts stay. Safe on
 * an all-zero block and on a block already freed. The read is found through
 * the block's text array or its first element, so a copy of the block frees
 * it as well; a block put together by hand from malloc'd nodes, elements and
 * texts is freed piece by piece. */
LIRRAND_EXPORT void Binary_DeleteALL(EddBlock *block);

#ifdef __cplusplus
}
#endif

#endif /* LIRRAND_H */
