// The record sort: orders fixed-length records (rows of the case matrix, or
// one-cell records of values) on a list of signed keys without moving them,
// by returning a permutation. Equal keys keep the records' input order, so
// the result is that of a stable sort whatever the method.
#pragma once

#include <cstdint>
#include <span>

#include "mva/frame/common.h"

namespace mva {

// Compares record a (number ia) with record b (number ib), each of `reclen`
// cells, on `keys`: the keys are taken in order up to the first 0 key or
// `reclen` keys; key k looks at cell |k|, ascending when k > 0 and descending
// when k < 0. A key beyond `reclen` is a string key: the characters that
// start at column |k| - reclen, over the width of that column's variable.
// When every key compares equal the record numbers decide, so the result is
// 0 only for a record compared with itself. Returns -1, 0 or +1.
int RCOMP(Context& cx, std::int64_t reclen, RealArray a, std::int64_t ia, RealArray b, std::int64_t ib,
          std::span<const std::int64_t> keys);

// Sorts the n records of `records` (reclen cells each, one after another) on
// `keys` and returns in perm(1..n) the record numbers in sorted order; the
// records do not move. Does nothing when reclen < 1 or n < 1.
void RSORT(Context& cx, std::int64_t reclen, std::int64_t n, RealArray records, std::span<const std::int64_t> keys,
           WordArray perm);

// Sorts the NCASES rows of the case matrix on the DPATTERN sort keys SORTKY
// (key +-v reads column COLOF(v) of a numeric variable, and the characters of
// a string variable) and returns the row order in perm(1..NCASES).
void CSORT(Context& cx, WordArray perm);

}  // namespace mva
