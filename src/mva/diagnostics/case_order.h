// Ordering of the incomplete cases on their missing patterns: a
// nearest-neighbour chain that starts at the case missing least and puts
// after each case the one whose pattern differs from it least, so that cases
// with identical patterns stand together. The pattern tables and EM order
// their locations with it.
#pragma once

#include <cstdint>
#include <functional>

#include "mva/frame/common.h"

namespace mva {

// CASORD: orders the locations 1..NINCOM into order(1..NINCOM). The start is
// the location with the fewest missing cells among the listed variables
// 1..n that count for it (categorical ones unless quantitative_only;
// quantitative ones when they are EM dependents), the first on ties. Each
// following position takes, among the locations not yet placed, the one
// nearest the current location (PATDIST over the first n VARIABLES-list
// entries, categorical ones passed over when quantitative_only): fewest
// differing cells, then fewest missing cells, then the earliest position.
// Polls for a user interrupt at every position.
void CASORD(Context& cx, std::int64_t n, WordArray order, bool quantitative_only);

class LocationPatterns;

class MissingCodeTable;

// CASORD over location patterns already read, over the variables
// pattern_variables(cx, n, quantitative_only) gives.
void CASORD(Context& cx, std::int64_t n, WordArray order, bool quantitative_only, const LocationPatterns& pats);

// The same chain without the host: the cells the patterns do not hold are
// read through `table`, and `poll` is called at every position (CASORD
// passes the host's interrupt poll; work done beside another pass, where the
// host may not be called, passes nothing).
void case_chain(const Context& cx, std::int64_t n, WordArray order, bool quantitative_only,
                const LocationPatterns& pats, const MissingCodeTable& table, const std::function<void()>& poll);

}  // namespace mva
