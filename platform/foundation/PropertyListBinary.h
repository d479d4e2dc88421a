// The binary property-list form ("bplist00"), read and written by our own
// code (PropertyList.h is the way in).
//
// Reading checks the whole object graph before it builds anything: every
// object and reference inside the object area, offsets and references of
// any width (1 to 8 bytes), no reference cycles, nesting to
// kPropertyListMaxDepth along every path (a UID is a level: it reads as a
// dictionary). It then builds each object once: a container or UID referred
// to from several places is one shared container in all of them (so,
// mostly, are UIDs of one number), and objects whose offsets name the same
// bytes are one object, so a few bytes of containers that each hold the
// next twice, or of many objects laid over one long string, cost what the
// list's bytes cost, not the millions of values or copies they expand to.
// Objects whose bytes overlap without sharing their start are each built:
// what they build is counted against the list's size (ns::ReadBudget)
// before it is built, and a list that would build more is refused, however
// its objects and containers lie over one another. What our writer writes
// stays within.
// Strings may hold any character, NUL included; UTF-16 strings with a lone
// surrogate read it as U+FFFD. Dates are kept as the list holds them
// (Value::dateSinceReferenceDate), whatever their year. Integers of 16 bytes
// and UIDs of up to 16 bytes read when their value fits in 64 bits.
//
// Writing stores every distinct scalar once and every container once (by
// identity: a container held in two places is one object referred to
// twice), with the narrowest offsets and references that fit; it refuses
// what nests deeper than the reader takes along any path, counting a UID as
// the reader does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/PropertyListCodec.h"
#include "foundation/Value.h"

namespace ns::plistbinary {

// The property list in the bytes, or nil with the problem in *problem.
// Beyond the readers' bounds too: a list that would build more than its
// size allows (ReadBudget.h), and one whose containers hold more references
// than `maxReferences` allows for its size (a dictionary's entry is two),
// each container counted once however many places hold it.
Value read(const Bytes& bytes, plistcodec::Problem* problem, plistcodec::ReferenceBound maxReferences = nullptr);

// The bytes; throws plistcodec::Refusal for a value a property list cannot
// hold (nil, the null object, text that is not UTF-8, a date that is not a
// number, a container that holds itself, nesting past kPropertyListMaxDepth).
Bytes write(const Value& plist);

// True when write would take the value (without writing it).
bool writable(const Value& plist);

}  // namespace ns::plistbinary
