/* A consumer in plain C: includes the public header, loads the library with
 * dlopen, reads a description, walks every tree without recursion, checks
 * what it finds, writes the block back and frees it.
 * Usage: lirrand_c_consumer LIRRAND.so DESCRIPTION.bin OUTPUT.bin */
#include <dlfcn.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "lirrand.h"

_Static_assert(sizeof(EddNode) == 24, "EddNode layout");
_Static_assert(offsetof(EddNode, value) == 4, "EddNode.value");
_Static_assert(offsetof(EddNode, child) == 8, "EddNode.child");
_Static_assert(offsetof(EddNode, sibling) == 16, "EddNode.sibling");
_Static_assert(sizeof(EddElement) == 24, "EddElement layout");
_Static_assert(offsetof(EddElement, root) == 8, "EddElement.root");
_Static_assert(offsetof(EddElement, next) == 16, "EddElement.next");
_Static_assert(sizeof(EddBlock) == 752, "EddBlock layout");
_Static_assert(offsetof(EddBlock, counts) == 8, "EddBlock.counts");
_Static_assert(offsetof(EddBlock, heads) == 112, "EddBlock.heads");
_Static_assert(offsetof(EddBlock, textCount) == 736, "EddBlock.textCount");
_Static_assert(offsetof(EddBlock, texts) == 744, "EddBlock.texts");

typedef int32_t (*ReadFn)(EddBlock *, const char *);
typedef int32_t (*PrintFn)(EddBlock *, const char *);
typedef void (*DeleteFn)(EddBlock *);

static int failures = 0;

#define CHECK(cond)                                                  \
  do {                                                               \
    if (!(cond)) {                                                   \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                    \
    }                                                                \
  } while (0)

/* Counts the nodes of a tree and its number of levels without recursion:
 * an explicit stack of nodes still to visit, each with its level. */
static void walk(const EddNode *root, int *nodes, int *levels) {
  struct Pending {
    const EddNode *node;
    int level;
  } stack[64];
  int top = 0;
  *nodes = 0;
  *levels = 0;
  stack[top].node = root;
  stack[top++].level = 1;
  while (top > 0) {
    struct Pending at = stack[--top];
    ++*nodes;
    if (at.level > *levels) *levels = at.level;
    /* The root's own sibling is the next object's business, not this tree's. */
    if (at.node != root && at.node->sibling != NULL && top < 64) {
      stack[top].node = at.node->sibling;
      stack[top++].level = at.level;
    }
    if (at.node->child != NULL && top < 64) {
      stack[top].node = at.node->child;
      stack[top++].level = at.level + 1;
    }
  }
}

static const char *name(const EddBlock *block, int32_t id) {
  return id >= 0 && id < block->textCount ? block->texts[id] : "";
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s LIRRAND.so DESCRIPTION.bin OUTPUT.bin\n", argv[0]);
    return 2;
  }
  void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  ReadFn read;
  PrintFn print;
  DeleteFn deleteAll;
  *(void **)&read = dlsym(library, "Binary_ReadEDD");
  *(void **)&print = dlsym(library, "Binary_PrintEDD");
  *(void **)&deleteAll = dlsym(library, "Binary_DeleteALL");
  CHECK(read != NULL && print != NULL && deleteAll != NULL);
  if (failures) return 1;

  EddBlock block;
  memset(&block, 0x5A, sizeof block);
  int32_t texts = read(&block, argv[2]);
  CHECK(texts == 4);
  CHECK(block.header[0] == 1);
  CHECK(block.counts[0] == 1 && block.counts[2] == 1 && block.counts[3] == 1 && block.counts[1] == 0);

  int nodes = 0, levels = 0;
  const EddElement *variable = block.heads[0].next;
  CHECK(variable != NULL && strcmp(name(&block, variable->id), "pressure") == 0);
  walk(variable->root, &nodes, &levels);
  CHECK(nodes == 8 && levels == 5);

  const EddElement *command = block.heads[2].next;
  CHECK(command != NULL && strcmp(name(&block, command->id), "read_pressure") == 0);
  walk(command->root, &nodes, &levels);
  CHECK(nodes == 10 && levels == 5);

  const EddElement *menu = block.heads[3].next;
  CHECK(menu != NULL && strcmp(name(&block, menu->id), "main") == 0 && menu->next == NULL);
  const EddNode *items = menu->root->child->sibling->child; /* menu-items -> direct */
  int found = 0;
  for (const EddNode *item = items->child; item != NULL; item = item->sibling) {
    CHECK(item->tag == 180 && item->child->tag == 30);
    found += strcmp(name(&block, (int32_t)item->child->value), "pressure") == 0;
  }
  CHECK(found == 1);
  CHECK(strcmp(block.texts[1], "|en|Pressure|de|Druck") == 0);

  CHECK(print(&block, argv[3]) == 0);
  deleteAll(&block);
  CHECK(block.heads[0].next == NULL && block.texts == NULL);

  EddBlock again;
  CHECK(read(&again, argv[3]) == 4);
  CHECK(strcmp(again.texts[1], "Pressure") == 0);
  deleteAll(&again);

  dlclose(library);
  if (failures == 0) printf("C consumer: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
