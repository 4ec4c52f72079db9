// Where an object's id comes from: the id of a tree is the text index of its
// identifier, found at a place that depends on the root tag. The loader and
// the description tools share this table so that both name objects alike.
#pragma once

#include <cstdint>

namespace tavrin::edd {

enum class IdSource {
  FirstChild,              // the root's first child, when it is an identifier
  SecondChildOfFirstChild, // typed arrays and collections name themselves one level down
  NotAnObject,             // a root tag that no object list may hold
};

constexpr IdSource idSource(uint16_t rootTag) {
  switch (rootTag) {
    case 0: case 1: case 3: case 4: case 5: case 6: case 7: case 9: case 10: case 11:
    case 12: case 14: case 15: case 16: case 17: case 18: case 20: case 21: case 22:
    case 23: case 24: case 25: case 26: case 128: case 299:
      return IdSource::FirstChild;
    case 13: case 403: case 404:
      return IdSource::SecondChildOfFirstChild;
    default:
      return IdSource::NotAnObject;
  }
}

}  // namespace tavrin::edd
